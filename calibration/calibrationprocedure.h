#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class DeviceSession;

// What the correction wizard and the loop test share: they hold the session's
// line while they run, read the device first (its serial number, settings and
// correction points, so that what they record names it), send one request at
// a time and go on only on the device's success, read the live values at
// their own pace, and stop, saying where, when the device refuses, does not
// answer, or the line is lost. Every step and outcome goes into the journal.
class CalibrationProcedure : public QObject
{
    Q_OBJECT
public:
    CalibrationProcedure(DeviceSession *session, const QString &title, QObject *parent = nullptr);
    ~CalibrationProcedure() override;

    QString title() const { return procedureTitle; }
    // The device on the line in a line: "Прибор № 1042 · 3х проводное ТС,
    // ТС-100П 385 · диапазон -50.000 … 150.000 °C".
    static QString deviceLine(const DeviceSession &session);
    bool isActive() const { return active; }

signals:
    // What is going on, in a line.
    void status(QString text);
    // The procedure stopped short: why and where.
    void stopped(QString why);
    void liveValues(QList<double> values);

protected:
    // Takes the line and reads the device; ready() follows. False with the
    // reason when the line is closed or busy.
    bool begin(QString *whyNot);
    virtual void ready() = 0;
    // Where the procedure is, for a stop: "точка 2, как найдено".
    virtual QString where() const = 0;
    // The line went while it ran; by default a stop.
    virtual void lineLost();

    // Sends `request`; `then` gets the reply's data when the device carried it
    // out. A refusal, a damaged reply or none stops the procedure with `doing`
    // naming the step.
    void send(const QByteArray &request, const QString &doing,
              const std::function<void(const QByteArray &data)> &then);
    void readLiveValuesEvery(int intervalMs);
    void stopReading();
    virtual void takeLiveValues(const QList<double> &values) { Q_UNUSED(values) }

    void journal(const QString &result);
    // Gives the line back; nothing more is sent.
    void finish();
    void stop(const QString &why);

    DeviceSession *session;

private:
    void replied(const QByteArray &reply, bool corrupted);
    void readNext(QList<QByteArray> reads);

    QString procedureTitle;
    bool active = false;
    QString pendingStep;
    std::function<void(const QByteArray &)> pendingThen;
    QTimer readTimer;
    QList<QMetaObject::Connection> connections;
};
