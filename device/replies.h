#pragma once

#include "device/requests.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// Replies from the transmitter: type, command and length bytes, result code,
// device status byte, then the data of the command. Every decoder is a pure
// function: bytes in, values out. Fields whose bytes are missing read as zero.
namespace Device {

struct ReplyHeader
{
    quint8 type = 0;
    quint8 command = 0;
    quint8 length = 0;
    // Absent in a reply of fewer than four bytes, which counts as a success.
    std::optional<quint8> resultCode;
    QByteArray data; // everything after the first five bytes
};

ReplyHeader parseReply(const QByteArray &reply);

// A length byte of 2 means the reply carries the two status bytes and nothing else.
constexpr quint8 StatusOnlyLength = 2;

// A message box: title and text.
struct Message
{
    QString title;
    QString text;
};

// 0 and 8 to 14 are successes; everything else is a device error (up to 127)
// or a communication error (128 and above).
bool isSuccess(quint8 resultCode);
// The box a result code calls for; nothing for a success.
std::optional<Message> resultCodeMessage(quint8 resultCode);

// The five live values in the order the Data tab shows them.
QList<double> decodeLiveValues(const QByteArray &data);

struct ProbeTypeReply
{
    quint8 kindByte = 0;
    quint8 code = 0;
    double lower = 0;
    double upper = 0;
    int dampingBuffer = 0; // the byte read signed
    bool compensation = false;
    std::optional<double> hysteresis; // only when four bytes are left for it

    int kind() const { return qint8(kindByte); } // the kind list position, signed
};
ProbeTypeReply decodeProbeType(const QByteArray &data);

// The ADC and CJ groups share the layout: FSR, then OCR.
ConverterConstants decodeConverterConstants(const QByteArray &data);

struct DeviceInfoReply
{
    int day = 0;   // read signed
    int month = 0; // read signed
    int year = 0;
    qint32 serialNumber = 0;
    QString firmware;

    QDate date() const { return QDate(year, month, day); } // invalid for nonsense
};
DeviceInfoReply decodeDeviceInfo(const QByteArray &data);

CorrectionPoints decodeRefAndMeas(const QByteArray &data);

// The answer to an unlock request: a box for 0 (wrong password) and 1
// (administrator mode on), nothing for empty data or any other value.
std::optional<Message> unlockAnswerMessage(const QByteArray &data);

} // namespace Device
