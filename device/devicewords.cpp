#include "device/devicewords.h"

#include "device/requests.h"

#include <QLocale>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("вкл") : QStringLiteral("выкл");
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString numbers(const std::array<double, 5> &values)
{
    QStringList texts;
    for (double value : values)
        texts << DeviceWords::number(value);
    return texts.join(QLatin1Char(' '));
}

// The payload sizes below which a write or action cannot be put in words.
int payloadSize(quint8 type, quint8 command)
{
    using namespace Device;
    if (type == Type::Write) {
        switch (command) {
        case Command::ProbeType:
            return 16;
        case Command::RefAndMeas:
            return 41;
        default:
            return 8; // ADC, CJ, DeviceInfo
        }
    }
    return command == ActionCommand::FixedCurrent ? 4 : 1;
}

QString actionWords(quint8 command, const QByteArray &payload)
{
    using namespace Device;
    const quint8 first = payload.isEmpty() ? 0 : quint8(payload.at(0));
    switch (command) {
    case ActionCommand::AutoCalibration:
        return first == quint8(CalibrationPoint::First) ? QStringLiteral("первая точка")
               : first == quint8(CalibrationPoint::Second) ? QStringLiteral("вторая точка")
                                                           : QStringLiteral("точка %1").arg(first);
    case ActionCommand::EepromOperation:
        switch (EepromOperation(first)) {
        case EepromOperation::ResetToFactory:
            return QStringLiteral("Сбросить до заводских настроек");
        case EepromOperation::SaveAsFactory:
            return QStringLiteral("Сохранить как заводские настройки");
        case EepromOperation::Clear:
            return QStringLiteral("Сбросить настройки");
        }
        return QStringLiteral("операция %1").arg(first);
    default: { // the fixed output current
        float current = 0;
        const quint32 bits = qFromLittleEndian<quint32>(payload.constData());
        std::memcpy(&current, &bits, sizeof current);
        return QStringLiteral("Ток: %1 мА").arg(DeviceWords::number(current));
    }
    }
}

} // namespace

DeviceWords::DeviceWords(const QStringList &kindNames, const SensorCatalogue &catalogue)
    : kindNames(kindNames), catalogue(catalogue)
{
}

QString DeviceWords::commandName(quint8 type, quint8 command)
{
    using namespace Device;
    static const char *const groups[] = {"текущих значений", "настроек",
                                         "параметров АЦП",   "производственных параметров",
                                         "точек коррекции",  "параметров ХС"};
    if ((type == Type::Read || type == Type::Write) && command < std::size(groups))
        return (type == Type::Read ? QStringLiteral("Чтение ") : QStringLiteral("Запись ")) +
               QString::fromUtf8(groups[command]);
    if (type == Type::Action) {
        switch (command) {
        case ActionCommand::FactoryMode:
            return QStringLiteral("Режим администратора");
        case ActionCommand::AutoCalibration:
            return QStringLiteral("Автокалибровка");
        case ActionCommand::EepromOperation:
            return QStringLiteral("Операция с EEPROM");
        case ActionCommand::FixedCurrent:
            return QStringLiteral("Фиксированный выходной ток");
        default:
            break;
        }
    }
    return QStringLiteral("Команда: тип %1, код %2").arg(type).arg(command);
}

QString DeviceWords::number(double value)
{
    const float single = float(value);
    if (single == 0.0f)
        return QStringLiteral("0.000"); // and never "-0.000"
    if (!std::isfinite(single))
        return QString::number(double(single));
    // Every float has an exact decimal expansion of fewer than 150 places.
    QString text;
    for (int decimals = 3; decimals < 150; ++decimals) {
        text = QString::number(double(single), 'f', decimals);
        if (float(text.toDouble()) == single)
            break;
    }
    return text;
}

QString DeviceWords::sensor(quint8 kindByte, quint8 code) const
{
    const int kind = qint8(kindByte);
    if (kind < 0 || kind >= kindNames.size())
        return QStringLiteral("вид %1, код %2").arg(kindByte).arg(code);
    const QStringList types = SensorCatalogue::typeNames(kind);
    if (types.isEmpty())
        return kindNames.at(kind);
    const int position = catalogue.decodePosition(kindByte, code);
    return QStringLiteral("%1 (%2)").arg(kindNames.at(kind),
                                         position >= 0 ? types.at(position)
                                                       : QStringLiteral("код %1").arg(code));
}

QString DeviceWords::settings(const Device::ProbeTypeReply &probe) const
{
    QString text =
        QStringLiteral("Чувствительный элемент: %1, Диапазон: %2 … %3, Демпфирующий "
                       "буфер: %4, Компенсация ХС: %5")
            .arg(sensor(probe.kindByte, probe.code), number(probe.lower), number(probe.upper))
            .arg(probe.dampingBuffer)
            .arg(onOff(probe.compensation));
    if (probe.hysteresis)
        text += QStringLiteral(", Гистерезис: ") + number(*probe.hysteresis);
    return text;
}

QString DeviceWords::correction(const Device::CorrectionPoints &points)
{
    return QStringLiteral("Эталон: %1, Измерено: %2, Коррекция: %3")
        .arg(numbers(points.reference), numbers(points.measured), onOff(points.enabled));
}

QString DeviceWords::constants(const Device::ConverterConstants &constants)
{
    return QStringLiteral("FSR: %1, OCR: %2").arg(number(constants.fsr), number(constants.ocr));
}

QString DeviceWords::production(const Device::DeviceInfoReply &info)
{
    const QString date = info.date().isValid()
                             ? QLocale::c().toString(info.date(), QStringLiteral("dd.MM.yyyy"))
                             : QStringLiteral("%1.%2.%3")
                                   .arg(info.day, 2, 10, QLatin1Char('0'))
                                   .arg(info.month, 2, 10, QLatin1Char('0'))
                                   .arg(info.year, 4, 10, QLatin1Char('0'));
    QString text = QStringLiteral("Серийный номер: %1, Дата производства: %2")
                       .arg(info.serialNumber)
                       .arg(date);
    if (!info.firmware.isEmpty())
        text += QStringLiteral(", Версия ПО: ") + info.firmware;
    return text;
}

QString DeviceWords::request(const QByteArray &request) const
{
    using namespace Device;
    if (request.size() < 2)
        return hex(request);
    const quint8 type = quint8(request.at(0));
    const quint8 command = quint8(request.at(1));
    const QByteArray payload = request.mid(2);
    if (type == Type::Action && command == ActionCommand::FactoryMode)
        return QStringLiteral("пароль отправлен");
    const bool known =
        (type == Type::Write && command >= Command::ProbeType && command <= Command::CJ) ||
        (type == Type::Action &&
         (command == ActionCommand::AutoCalibration || command == ActionCommand::EepromOperation ||
          command == ActionCommand::FixedCurrent));
    if (!known || payload.size() < payloadSize(type, command))
        return payload.isEmpty() ? QString() : QStringLiteral("байты: ") + hex(payload);
    if (type == Type::Action)
        return actionWords(command, payload);
    switch (command) {
    case Command::ProbeType:
        return settings(decodeProbeType(payload));
    case Command::DeviceInfo:
        return production(decodeDeviceInfo(payload.left(8)));
    case Command::RefAndMeas:
        return correction(decodeRefAndMeas(payload));
    default:
        return constants(decodeConverterConstants(payload));
    }
}

QString DeviceWords::rawBytes(const QByteArray &bytes)
{
    // The unlock command's header frame or its payload frame, the only frame of
    // command 0 with a payload, wherever they stand: the bytes up to it, never the
    // password after it.
    int hideFrom = -1;
    for (const QByteArray &start : {QByteArray::fromHex("FF0200"), QByteArray::fromHex("FF0300")}) {
        const int at = bytes.indexOf(start);
        if (at >= 0 && (hideFrom < 0 || at + start.size() < hideFrom))
            hideFrom = at + start.size();
    }
    if (hideFrom >= 0)
        return hex(bytes.left(hideFrom)) + QStringLiteral(", пароль отправлен");
    return hex(bytes);
}

QString DeviceWords::replyResult(const QByteArray &reply, bool checkByteWrong)
{
    using namespace Device;
    if (checkByteWrong)
        return QStringLiteral("ответ повреждён: не совпал контрольный байт");
    const ReplyHeader header = parseReply(reply);
    if (!header.resultCode)
        return QStringLiteral("выполнено"); // a reply too short for a code
    const quint8 code = *header.resultCode;
    const std::optional<Message> error = resultCodeMessage(code);
    QString text = error ? error->text : QStringLiteral("Код %1: выполнено").arg(code);
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (!error && header.type == Type::Action && header.command == ActionCommand::FactoryMode) {
        if (const std::optional<Message> unlock = unlockAnswerMessage(header.data))
            text += QStringLiteral(", ") + unlock->title + QLatin1Char(' ') + unlock->text;
    }
    return text;
}

QList<DeviceWords::Field> DeviceWords::settingsFields(const Device::ProbeTypeReply &probe) const
{
    QList<Field> fields{
        {QStringLiteral("Чувствительный элемент"), sensor(probe.kindByte, probe.code), {}},
        {QStringLiteral("Нижний предел диапазона"), number(probe.lower), float(probe.lower)},
        {QStringLiteral("Верхний предел диапазона"), number(probe.upper), float(probe.upper)},
        {QStringLiteral("Демпфирующий буфер"), QString::number(probe.dampingBuffer), {}},
        {QStringLiteral("Компенсация ХС"), onOff(probe.compensation), {}}};
    if (probe.hysteresis)
        fields.append(
            {QStringLiteral("Гистерезис"), number(*probe.hysteresis), float(*probe.hysteresis)});
    else
        fields.append({QStringLiteral("Гистерезис"), QStringLiteral("нет в ответе"), {}});
    return fields;
}

QList<DeviceWords::Field> DeviceWords::correctionFields(const Device::CorrectionPoints &points)
{
    QList<Field> fields;
    for (size_t i = 0; i < points.reference.size(); ++i)
        fields.append({QStringLiteral("Эталон %1").arg(i + 1), number(points.reference[i]),
                       float(points.reference[i])});
    for (size_t i = 0; i < points.measured.size(); ++i)
        fields.append({QStringLiteral("Измерено %1").arg(i + 1), number(points.measured[i]),
                       float(points.measured[i])});
    fields.append({QStringLiteral("Коррекция"), onOff(points.enabled), {}});
    return fields;
}

QStringList DeviceWords::differences(const QList<Field> &sent, const QList<Field> &read)
{
    QStringList lines;
    for (int i = 0; i < sent.size() && i < read.size(); ++i) {
        const Field &a = sent.at(i);
        const Field &b = read.at(i);
        const bool same = a.number && b.number ? *a.number == *b.number : a.text == b.text;
        if (!same)
            lines << QStringLiteral("%1: %2 → %3").arg(a.name, a.text, b.text);
    }
    return lines;
}
