#pragma once

#include <QObject>

#include <functional>

// Runs functions in the thread this object lives in, one after another in the
// order they were posted, through that thread's event queue. Every value that
// passes between the GUI thread and the worker thread goes this way, inside
// the function posted.
//
// Qt's own queue is locked where ThreadSanitizer cannot see it (Qt is not
// instrumented), so in that build each posted function is marked as handed
// over once it is complete, before it enters the queue, and taken over before
// the receiving thread touches it; whatever the sender wrote before posting is
// then ordered before whatever the receiver does with it. In every other build
// the marks are empty.
class ThreadHandOff : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Any thread.
    void post(std::function<void()> task);
    // This object's thread: drops what was posted and has not run yet.
    void discardPosted();

protected:
    bool event(QEvent *event) override;
};
