#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// A lost line waited for: the same port, by the same name, is tried every
// `everyMs` until it opens or `giveUpAfterMs` have passed.
class LineWait : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReopenEveryMs = 2000;
    static constexpr int GiveUpAfterMs = 10 * 60 * 1000;

    explicit LineWait(QObject *parent = nullptr);
    void setIntervals(int everyMs, int giveUpAfterMs);

    void begin(const QString &port);
    void end();
    QString port() const { return waitedPort; }

signals:
    // Time to try the port again; end() once it has opened.
    void attempt(QString port);
    // The time is up: the wait has ended.
    void gaveUp();

private:
    void tick();

    QTimer tries;
    QElapsedTimer clock;
    QString waitedPort;
    int giveUpMs = GiveUpAfterMs;
};
