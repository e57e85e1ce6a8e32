#include "config/writeverify.h"

#include "device/replies.h"

namespace {

constexpr int StepCount = int(WriteVerify::Step::Done);

} // namespace

WriteVerify::WriteVerify(const Device::ProbeTypeSettings &settings,
                         const Device::CorrectionPoints &points, const DeviceWords &words)
    : words(words), settingsWrite(Device::writeProbeType(settings)),
      correctionWrite(Device::writeRefAndMeas(points))
{
}

QByteArray WriteVerify::request() const
{
    return requestOf(current);
}

QByteArray WriteVerify::requestOf(Step step) const
{
    using namespace Device;
    switch (step) {
    case Step::ReadInfo:
        return readRequest(Command::DeviceInfo);
    case Step::WriteSettings:
        return settingsWrite;
    case Step::WriteCorrection:
        return correctionWrite;
    case Step::ReadSettings:
        return readRequest(Command::ProbeType);
    case Step::ReadCorrection:
        return readRequest(Command::RefAndMeas);
    case Step::Done:
        break;
    }
    return {};
}

// What was sent is compared in its own bytes' decoding, so that both sides
// are the floats that travelled.
void WriteVerify::take(const QByteArray &reply)
{
    using namespace Device;
    if (finished())
        return;
    const ReplyHeader header = parseReply(reply);
    if (header.resultCode && !isSuccess(*header.resultCode)) {
        fail(DeviceWords::replyResult(reply));
        return;
    }
    switch (current) {
    case Step::ReadInfo:
        serialNumber = decodeDeviceInfo(header.data).serialNumber;
        break;
    case Step::ReadSettings:
        differences +=
            DeviceWords::differences(words.settingsFields(decodeProbeType(settingsWrite.mid(2))),
                                     words.settingsFields(decodeProbeType(header.data)));
        break;
    case Step::ReadCorrection:
        differences += DeviceWords::differences(
            DeviceWords::correctionFields(decodeRefAndMeas(correctionWrite.mid(2))),
            DeviceWords::correctionFields(decodeRefAndMeas(header.data)));
        break;
    default:
        break;
    }
    current = Step(int(current) + 1);
}

void WriteVerify::fail(const QString &why)
{
    if (finished())
        return;
    failedStep = current;
    failure = why;
    current = Step::Done;
}

QString WriteVerify::journalResult() const
{
    if (!failure.isEmpty()) {
        const QByteArray request = requestOf(failedStep);
        return QStringLiteral("не выполнено: шаг %1 из %2, «%3»: %4")
            .arg(int(failedStep) + 1)
            .arg(StepCount)
            .arg(DeviceWords::commandName(quint8(request.at(0)), quint8(request.at(1))), failure);
    }
    if (differences.isEmpty())
        return QStringLiteral("записано и проверено");
    return QStringLiteral("прочитано не то, что записано: ") +
           differences.join(QStringLiteral("; "));
}

QString WriteVerify::outcome() const
{
    const QString device = serialNumber ? QStringLiteral("Прибор № %1.").arg(*serialNumber)
                                        : QStringLiteral("Прибор не считан.");
    if (!failure.isEmpty()) {
        const QByteArray request = requestOf(failedStep);
        return QStringLiteral("Не выполнено: шаг %1 из %2, «%3»: %4\n%5")
            .arg(int(failedStep) + 1)
            .arg(StepCount)
            .arg(DeviceWords::commandName(quint8(request.at(0)), quint8(request.at(1))), failure,
                 device);
    }
    if (differences.isEmpty())
        return QStringLiteral("Записано и проверено.\n") + device;
    return QStringLiteral("Прочитано не то, что записано (отправлено → прочитано):\n%1\n%2")
        .arg(differences.join(QLatin1Char('\n')), device);
}
