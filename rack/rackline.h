#pragma once

#include "link/statusstyle.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QTimer>
#include <QVector>

#include <optional>

class DeviceSession;

// One transmitter of the rack: its session, unattended, and what its panel
// shows of it. Nothing here opens a box: what a box would say becomes the
// line's notice, so one faulty transmitter never holds up the others.
class RackLine : public QObject
{
    Q_OBJECT
public:
    // The trend keeps at most this many points, spread over the whole run.
    static constexpr int TrendPoints = 240;

    explicit RackLine(const QString &port, QObject *parent = nullptr);
    ~RackLine() override;

    QString port() const { return portName; }
    DeviceSession *session() const { return deviceSession; }
    void setKindNames(const QStringList &names);

    // Opens the port, reads the device's identity and settings, and polls.
    bool connectLine();
    void disconnectLine();
    // A run asked for while the reads of connect are on their way starts once
    // they are in (or have had their time), so its record names the device and
    // its range.
    bool startRun();
    void stopRun();

    // Open, or a run waits for it.
    bool isConnected() const;
    bool isRunning() const;
    bool isStarting() const { return startWanted; }
    // The link indicator as the session last set it: a style sheet and a word.
    QString stateSheet() const { return sheet; }
    QString stateWord() const { return word; }
    // "№ 1042", or "не считан".
    QString serialText() const;
    QList<double> values() const { return lastValues; }
    int rows() const;
    // When the last reply with a good check byte arrived; invalid before one.
    QDateTime lastReply() const { return lastReplyAt; }
    // The measured value over the run: milliseconds since its start, and the value.
    const QVector<QPointF> &trend() const { return trendPoints; }
    QString notice() const { return lastNotice; }
    // The last run's CSV file; empty before the first.
    QString runFile() const;

signals:
    void changed();

private:
    void tell(const QString &text);
    void readsDone();
    bool startNow();
    void addToTrend(const QDateTime &time, const QList<double> &values);

    QString portName;
    DeviceSession *deviceSession;
    QString sheet = StatusStyle::initialSheet();
    QString word = QStringLiteral("NONE");
    QList<double> lastValues;
    QDateTime lastReplyAt;
    QDateTime runStart;
    QVector<QPointF> trendPoints;
    int trendStride = 1; // every this many rows goes into the trend
    int rowsSinceTrend = 0;
    QString lastNotice;
    QTimer readsTimer; // runs while the reads of connect may still come
    bool startWanted = false;
};
