#include "device/replies.h"

#include <cstring>

namespace Device {

namespace {

// Takes fields from the front of the reply data. A field whose bytes are not
// all there reads as zero and uses up what is left.
class DataReader
{
public:
    explicit DataReader(const QByteArray &data) : bytes(data) {}

    int remaining() const { return bytes.size() - position; }

    quint8 u8()
    {
        if (remaining() < 1)
            return 0;
        return quint8(bytes.at(position++));
    }

    qint8 i8() { return qint8(u8()); }

    quint16 u16BE()
    {
        if (!take(2))
            return 0;
        return quint16(byteAt(position - 2) << 8 | byteAt(position - 1));
    }

    quint32 u32LE()
    {
        if (!take(4))
            return 0;
        quint32 value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | byteAt(position - 4 + i);
        return value;
    }

    qint32 i32() { return qint32(u32LE()); }

    double f32()
    {
        const quint32 bits = u32LE();
        float single = 0;
        std::memcpy(&single, &bits, sizeof single);
        return double(single);
    }

    QByteArray rest()
    {
        const QByteArray tail = bytes.mid(position);
        position = bytes.size();
        return tail;
    }

private:
    bool take(int count)
    {
        if (remaining() < count) {
            position = bytes.size();
            return false;
        }
        position += count;
        return true;
    }

    quint32 byteAt(int index) const { return quint8(bytes.at(index)); }

    const QByteArray &bytes;
    int position = 0;
};

quint8 byteOrZero(const QByteArray &bytes, int index)
{
    return index < bytes.size() ? quint8(bytes.at(index)) : 0;
}

QString deviceErrorText(quint8 code)
{
    switch (code) {
    case 2:
        return QStringLiteral("Код выбранной переменной неправильный!");
    case 3:
        return QStringLiteral("Переданный параметр слишком большой!");
    case 4:
        return QStringLiteral("Переданный параметр слишком маленький!");
    case 5:
        return QStringLiteral("Не все байты данных были приняты!");
    case 6:
        return QStringLiteral("Специфичная ошибка!");
    case 7:
        return QStringLiteral("Режим запрета записи!");
    case 16:
        return QStringLiteral("Доступ запрещен");
    case 29:
        return QStringLiteral("Неверный диапазон!\nВыбранные значения не соответствуют "
                              "выбраному типу чувствительного элемента");
    default:
        return QStringLiteral("Неизвестная ошибка!");
    }
}

// Communication errors carry one flag on top of 128; a code with several flags
// is not taken apart.
QString communicationErrorText(quint8 code)
{
    switch (code - 128) {
    case 2:
        return QStringLiteral("Переданный пакет больше приемного буффера");
    case 4:
        return QStringLiteral("CommunicationFailure");
    case 8:
        return QStringLiteral("CheckByte не совпадает");
    case 16:
        return QStringLiteral("Ошибка фрейма");
    case 32:
        return QStringLiteral("Ошибка перезаписи");
    case 64:
        return QStringLiteral("Ошибка бита четности");
    default:
        return QStringLiteral("Неизвестная ошибка");
    }
}

} // namespace

ReplyHeader parseReply(const QByteArray &reply)
{
    ReplyHeader header;
    header.type = byteOrZero(reply, 0);
    header.command = byteOrZero(reply, 1);
    header.length = byteOrZero(reply, 2);
    if (reply.size() >= 4)
        header.resultCode = quint8(reply.at(3));
    header.data = reply.mid(5);
    return header;
}

bool isSuccess(quint8 resultCode)
{
    return resultCode == 0 || (resultCode >= 8 && resultCode <= 14);
}

std::optional<Message> resultCodeMessage(quint8 resultCode)
{
    if (isSuccess(resultCode))
        return std::nullopt;
    const bool communication = resultCode >= 128;
    const QString title =
        communication ? QStringLiteral("Ошибка коммуникации!") : QStringLiteral("Внимание!");
    const QString message =
        communication ? communicationErrorText(resultCode) : deviceErrorText(resultCode);
    // The closing "!" is added to every message, even to one that has its own.
    return Message{title, QStringLiteral("Код %1: %2!").arg(int(resultCode)).arg(message)};
}

QList<double> decodeLiveValues(const QByteArray &data)
{
    DataReader reader(data);
    QList<double> values;
    for (int i = 0; i < 5; ++i)
        values.append(reader.f32());
    return values;
}

ProbeTypeReply decodeProbeType(const QByteArray &data)
{
    DataReader reader(data);
    ProbeTypeReply reply;
    reply.kindByte = reader.u8();
    reply.code = reader.u8();
    reply.lower = reader.f32();
    reply.upper = reader.f32();
    reply.dampingBuffer = reader.i8();
    reply.compensation = reader.u8() == CompensationOn;
    if (reader.remaining() >= 4)
        reply.hysteresis = reader.f32();
    return reply;
}

ConverterConstants decodeConverterConstants(const QByteArray &data)
{
    DataReader reader(data);
    ConverterConstants constants;
    constants.fsr = reader.f32();
    constants.ocr = reader.f32();
    return constants;
}

DeviceInfoReply decodeDeviceInfo(const QByteArray &data)
{
    DataReader reader(data);
    DeviceInfoReply info;
    info.day = reader.i8();
    info.month = reader.i8();
    info.year = reader.u16BE();
    info.serialNumber = reader.i32();
    QByteArray text = reader.rest();
    const int end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    info.firmware = QString::fromUtf8(text);
    return info;
}

CorrectionPoints decodeRefAndMeas(const QByteArray &data)
{
    DataReader reader(data);
    CorrectionPoints points;
    for (double &value : points.reference)
        value = reader.f32();
    for (double &value : points.measured)
        value = reader.f32();
    points.enabled = reader.u8() == 1;
    return points;
}

std::optional<Message> unlockAnswerMessage(const QByteArray &data)
{
    if (data.isEmpty())
        return std::nullopt;
    switch (quint8(data.at(0))) {
    case 0:
        return Message{QStringLiteral("Ошибка!"), QStringLiteral("Неверный пароль!")};
    case 1:
        return Message{QStringLiteral("Режим Администратора!"), QStringLiteral("Включен!")};
    default:
        return std::nullopt;
    }
}

} // namespace Device
