#include "link/linewait.h"

LineWait::LineWait(QObject *parent) : QObject(parent)
{
    tries.setInterval(ReopenEveryMs);
    connect(&tries, &QTimer::timeout, this, &LineWait::tick);
}

void LineWait::setIntervals(int everyMs, int giveUpAfterMs)
{
    tries.setInterval(everyMs);
    giveUpMs = giveUpAfterMs;
}

void LineWait::begin(const QString &port)
{
    waitedPort = port;
    clock.start();
    tries.start();
}

void LineWait::end()
{
    tries.stop();
}

void LineWait::tick()
{
    if (clock.elapsed() >= giveUpMs) {
        tries.stop();
        emit gaveUp();
        return;
    }
    emit attempt(waitedPort);
}
