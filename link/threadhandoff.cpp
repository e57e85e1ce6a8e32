#include "link/threadhandoff.h"

#include <QCoreApplication>
#include <QEvent>

#if defined(__SANITIZE_THREAD__)
#define VELTRA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELTRA_THREAD_SANITIZER 1
#endif
#endif

#ifdef VELTRA_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

namespace {

// The sending thread, once the event is complete and before anyone else can see it.
void handOver(QEvent *event)
{
#ifdef VELTRA_THREAD_SANITIZER
    __tsan_release(event);
#else
    Q_UNUSED(event);
#endif
}

// The thread that runs or deletes the event, before it reads any of it.
void takeOver(QEvent *event)
{
#ifdef VELTRA_THREAD_SANITIZER
    __tsan_acquire(event);
#else
    Q_UNUSED(event);
#endif
}

const QEvent::Type TaskEventType = QEvent::Type(QEvent::registerEventType());

class TaskEvent final : public QEvent
{
public:
    explicit TaskEvent(std::function<void()> task) : QEvent(TaskEventType), task(std::move(task)) {}
    // A task dropped unrun is destroyed by whichever thread drops it.
    ~TaskEvent() override { takeOver(this); }

    std::function<void()> task;
};

} // namespace

void ThreadHandOff::post(std::function<void()> task)
{
    auto *event = new TaskEvent(std::move(task));
    handOver(event);
    QCoreApplication::postEvent(this, event);
}

void ThreadHandOff::discardPosted()
{
    QCoreApplication::removePostedEvents(this, TaskEventType);
}

bool ThreadHandOff::event(QEvent *event)
{
    takeOver(event);
    if (event->type() != TaskEventType)
        return QObject::event(event);
    static_cast<TaskEvent *>(event)->task();
    return true;
}
