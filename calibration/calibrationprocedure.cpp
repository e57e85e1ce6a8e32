#include "calibration/calibrationprocedure.h"

#include "device/devicewords.h"
#include "device/replies.h"
#include "device/requests.h"
#include "session/devicesession.h"
#include "testlog/devicedescription.h"

CalibrationProcedure::CalibrationProcedure(DeviceSession *session, const QString &title,
                                           QObject *parent)
    : QObject(parent), session(session), procedureTitle(title)
{
    connect(&readTimer, &QTimer::timeout, session, &DeviceSession::readLiveValues);
}

CalibrationProcedure::~CalibrationProcedure()
{
    finish();
}

QString CalibrationProcedure::deviceLine(const DeviceSession &session)
{
    const DeviceDescription device = session.description();
    QStringList parts;
    parts << (device.identity ? QStringLiteral("Прибор № %1").arg(device.identity->serialNumber)
                              : QStringLiteral("Прибор не считан"));
    if (const std::optional<DeviceSettings> &settings = device.settings) {
        parts << (settings->type.isEmpty()
                      ? settings->element
                      : settings->element + QStringLiteral(", ") + settings->type);
        parts << QStringLiteral("диапазон %1 °C").arg(settings->rangeText());
    }
    return parts.join(QStringLiteral(" · "));
}

bool CalibrationProcedure::begin(QString *whyNot)
{
    if (active)
        return false;
    if (!session->isOpen()) {
        *whyNot = QStringLiteral("Прибор не подключён.");
        return false;
    }
    if (!session->beginProcedure()) {
        *whyNot = QStringLiteral("Линия занята: идёт испытание, запись с проверкой или "
                                 "другая калибровка.");
        return false;
    }
    active = true;
    connections = {
        connect(session, &DeviceSession::procedureReplied, this, &CalibrationProcedure::replied),
        connect(session, &DeviceSession::procedureUnanswered, this,
                [this] { stop(pendingStep + QStringLiteral(": прибор не ответил.")); }),
        connect(session, &DeviceSession::closed, this, [this] { lineLost(); }),
        connect(session, &DeviceSession::liveValuesRead, this,
                [this](const QList<double> &values) {
                    emit liveValues(values);
                    if (readTimer.isActive())
                        takeLiveValues(values);
                }),
    };
    emit status(QStringLiteral("Считывание прибора…"));
    readNext({Device::readRequest(Device::Command::DeviceInfo),
              Device::readRequest(Device::Command::ProbeType),
              Device::readRequest(Device::Command::RefAndMeas)});
    return true;
}

void CalibrationProcedure::readNext(QList<QByteArray> reads)
{
    if (reads.isEmpty()) {
        journal(QStringLiteral("начато"));
        ready();
        return;
    }
    const QByteArray request = reads.takeFirst();
    send(request, QStringLiteral("Считывание прибора"),
         [this, reads](const QByteArray &) { readNext(reads); });
}

void CalibrationProcedure::lineLost()
{
    stop(QStringLiteral("Связь с прибором потеряна (%1).").arg(where()));
}

void CalibrationProcedure::send(const QByteArray &request, const QString &doing,
                                const std::function<void(const QByteArray &)> &then)
{
    if (!active)
        return;
    pendingStep = doing;
    pendingThen = then;
    session->sendProcedureRequest(request);
}

void CalibrationProcedure::replied(const QByteArray &reply, bool corrupted)
{
    if (!pendingThen)
        return;
    const auto then = std::move(pendingThen);
    pendingThen = nullptr;
    if (corrupted) {
        stop(pendingStep +
             QStringLiteral(": ответ прибора повреждён (не совпал контрольный байт)."));
        return;
    }
    const Device::ReplyHeader header = Device::parseReply(reply);
    if (header.resultCode && !Device::isSuccess(*header.resultCode)) {
        stop(pendingStep +
             QStringLiteral(": прибор отказал: %1.").arg(DeviceWords::replyResult(reply)));
        return;
    }
    then(header.data);
}

void CalibrationProcedure::readLiveValuesEvery(int intervalMs)
{
    readTimer.start(intervalMs);
    session->readLiveValues();
}

void CalibrationProcedure::stopReading()
{
    readTimer.stop();
}

void CalibrationProcedure::journal(const QString &result)
{
    session->journalNote(procedureTitle, result);
}

void CalibrationProcedure::finish()
{
    if (!active)
        return;
    active = false;
    readTimer.stop();
    pendingThen = nullptr;
    for (const QMetaObject::Connection &connection : connections)
        disconnect(connection);
    connections.clear();
    session->endProcedure();
}

void CalibrationProcedure::stop(const QString &why)
{
    if (!active)
        return;
    journal(QStringLiteral("прервано: ") + why);
    finish();
    emit stopped(why);
}
