#include "device/requests.h"

#include <cstring>

namespace Device {

namespace {

QByteArray header(quint8 type, quint8 command)
{
    QByteArray request;
    request.append(char(type));
    request.append(char(command));
    return request;
}

void appendU8(QByteArray &out, quint8 value)
{
    out.append(char(value));
}

// Least significant byte first, whatever the host's byte order.
void appendU32LE(QByteArray &out, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

void appendF32(QByteArray &out, double value)
{
    const float single = float(value);
    quint32 bits = 0;
    static_assert(sizeof bits == sizeof single, "f32 must be four bytes");
    std::memcpy(&bits, &single, sizeof bits);
    appendU32LE(out, bits);
}

QByteArray writeConstants(quint8 command, const ConverterConstants &constants)
{
    QByteArray request = header(Type::Write, command);
    appendF32(request, constants.fsr);
    appendF32(request, constants.ocr);
    return request;
}

} // namespace

QByteArray readRequest(quint8 command)
{
    return header(Type::Read, command);
}

QByteArray writeProbeType(const ProbeTypeSettings &settings)
{
    QByteArray request = header(Type::Write, Command::ProbeType);
    appendU8(request, settings.selection.kindByte);
    appendU8(request, settings.selection.code);
    appendF32(request, settings.lower);
    appendF32(request, settings.upper);
    appendU8(request, quint8(settings.dampingBuffer & 0xFF));
    appendU8(request, settings.compensation ? CompensationOn : CompensationOff);
    appendF32(request, settings.hysteresis);
    return request;
}

std::optional<QString> rangeRefusal(const ProbeTypeSettings &settings)
{
    if (settings.lower < settings.upper)
        return std::nullopt;
    return QStringLiteral("Нижний предел (%1) не меньше верхнего (%2). Не записано.")
        .arg(QString::number(settings.lower, 'g', 10), QString::number(settings.upper, 'g', 10));
}

QByteArray writeADC(const ConverterConstants &constants)
{
    return writeConstants(Command::ADC, constants);
}

QByteArray writeCJ(const ConverterConstants &constants)
{
    return writeConstants(Command::CJ, constants);
}

QByteArray writeDeviceInfo(const QDate &date, qint32 serialNumber)
{
    QByteArray request = header(Type::Write, Command::DeviceInfo);
    appendU8(request, quint8(date.day()));
    appendU8(request, quint8(date.month()));
    // The year is the one field the device keeps high byte first.
    const quint16 year = quint16(date.year());
    appendU8(request, quint8(year >> 8));
    appendU8(request, quint8(year & 0xFF));
    appendU32LE(request, quint32(serialNumber));
    return request;
}

QByteArray writeRefAndMeas(const CorrectionPoints &points)
{
    QByteArray request = header(Type::Write, Command::RefAndMeas);
    for (double value : points.reference)
        appendF32(request, value);
    for (double value : points.measured)
        appendF32(request, value);
    appendU8(request, points.enabled ? 1 : 0);
    return request;
}

QByteArray factoryMode(const QString &password)
{
    QByteArray request = header(Type::Action, ActionCommand::FactoryMode);
    // The device takes one byte per character; anything outside Latin-1 goes
    // out as a question mark.
    for (const QChar ch : password)
        request.append(ch.unicode() < 0x100 ? char(ch.unicode()) : '?');
    return request;
}

QByteArray autoCalibration(CalibrationPoint point)
{
    QByteArray request = header(Type::Action, ActionCommand::AutoCalibration);
    appendU8(request, quint8(point));
    return request;
}

QByteArray eepromOperation(EepromOperation operation)
{
    QByteArray request = header(Type::Action, ActionCommand::EepromOperation);
    appendU8(request, quint8(operation));
    return request;
}

QByteArray fixedCurrent(double current)
{
    QByteArray request = header(Type::Action, ActionCommand::FixedCurrent);
    appendF32(request, current);
    return request;
}

} // namespace Device
