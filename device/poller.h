#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

class SerialLine;

// Periodic reading of the live values: polling for the Data tab every 3000 ms,
// a test run every 2000 ms; both send the one LiveValues read. Only one
// request is on the line at a time: a read due while an answer is still on
// its way waits for it, or for as long as an answer takes, and goes right
// after it. A request sent meanwhile would make the worker drop that answer,
// and two sent at once come back as one reply, so a row would be lost.
class Poller : public QObject
{
    Q_OBJECT
public:
    static constexpr int PollEveryMs = 3000;
    static constexpr int RunEveryMs = 2000;
    // A 255-byte answer takes 290 ms at 9600 baud, and the worker waits 300 ms
    // of silence after it.
    static constexpr int ReplyWindowMs = 1000;

    explicit Poller(SerialLine *line, QObject *parent = nullptr);

    // Each sends a read at once and then every interval; starting again restarts it.
    void startPolling();
    void stopPolling();
    bool isPolling() const { return pollTimer.isActive(); }
    void startRun();
    void stopRun();
    void stopAll();

    // The read, now or as soon as the line is free; nothing while the port is closed.
    void readNow();
    // One request of another kind, before the next read: now, or as soon as the
    // line is free. Several wait in the order asked; one already waiting is not asked twice.
    void readOnce(const QByteArray &request);
    // The line has been freed by a reply, or closed: nothing is on its way.
    void lineFree();
    void forget();
    // What each read asks, the live values unless set otherwise.
    void setRequest(const QByteArray &request) { periodicRequest = request; }

signals:
    // A request's answer could have come by now and has not.
    void answerMissed();

private:
    void requestSent();
    void replyWindowOver();

    SerialLine *line;
    QTimer pollTimer;
    QTimer runTimer;
    // Runs from each request sent until its answer is in, or could have been.
    QTimer replyWindow;
    bool readDue = false;
    bool readInFlight = false; // the periodic read, until the line is free again
    QByteArray periodicRequest;
    QList<QByteArray> onceRequests;
};
