#include "device/poller.h"

#include "device/requests.h"
#include "link/serialline.h"

Poller::Poller(SerialLine *line, QObject *parent)
    : QObject(parent), line(line), periodicRequest(Device::readRequest(Device::Command::LiveValues))
{
    // Coarse timers may fire up to 5% early; a run's sampling interval should
    // mean what it says.
    for (QTimer *timer : {&pollTimer, &runTimer, &replyWindow})
        timer->setTimerType(Qt::PreciseTimer);
    pollTimer.setInterval(PollEveryMs);
    runTimer.setInterval(RunEveryMs);
    replyWindow.setSingleShot(true);
    replyWindow.setInterval(ReplyWindowMs);
    connect(&pollTimer, &QTimer::timeout, this, &Poller::readNow);
    connect(&runTimer, &QTimer::timeout, this, &Poller::readNow);
    connect(&replyWindow, &QTimer::timeout, this, &Poller::replyWindowOver);
    connect(line, &SerialLine::requestSent, this, &Poller::requestSent);
}

void Poller::startPolling()
{
    readNow();
    pollTimer.start();
}

void Poller::stopPolling()
{
    pollTimer.stop();
}

// A read of the values already on its way is the run's first: another right
// after it would make two rows a moment apart.
void Poller::startRun()
{
    if (!readInFlight)
        readNow();
    runTimer.start();
}

void Poller::stopRun()
{
    runTimer.stop();
}

void Poller::stopAll()
{
    pollTimer.stop();
    runTimer.stop();
}

void Poller::readNow()
{
    if (!line->isOpen())
        return;
    if (replyWindow.isActive()) {
        readDue = true;
        return;
    }
    line->sendRoutine(periodicRequest);
    readInFlight = true;
}

void Poller::requestSent()
{
    replyWindow.start();
}

void Poller::readOnce(const QByteArray &request)
{
    if (!onceRequests.contains(request))
        onceRequests.append(request);
    if (!replyWindow.isActive())
        lineFree();
}

void Poller::lineFree()
{
    replyWindow.stop();
    readInFlight = false;
    if (!onceRequests.isEmpty()) {
        const QByteArray request = onceRequests.takeFirst();
        if (line->isOpen())
            line->sendRoutine(request);
        return;
    }
    if (!readDue)
        return;
    readDue = false;
    if (pollTimer.isActive() || runTimer.isActive())
        readNow();
}

void Poller::replyWindowOver()
{
    emit answerMissed();
    lineFree();
}

void Poller::forget()
{
    replyWindow.stop();
    readInFlight = false;
    readDue = false;
    onceRequests.clear();
}
