#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The frame layout shared by the configurator and the transmitter:
// FF type command length payload... check FF. A request is type, command,
// payload; a reply is what a received frame holds without its delimiters and
// check byte.
namespace FrameCodec {

constexpr char Delimiter = char(0xFF);
constexpr int PayloadFrameType = 3;
constexpr int PayloadFrameDelayMs = 10;

// XOR of every byte after the leading run of 0xFF bytes; 0 when nothing is left.
quint8 computeCheckByte(const QByteArray &bytes);

// The frames written for one request: none for a request shorter than two
// bytes, the header frame, and for a non-zero type with a payload the payload
// frame that follows it.
QList<QByteArray> buildFrames(const QByteArray &request);

enum class Outcome { Success, CheckByteError, BadPacket };

struct Received
{
    Outcome outcome = Outcome::Success;
    bool checkByteOk = true; // also known for a rejected frame
    QByteArray reply;        // empty for BadPacket
};

Received acceptFrame(const QByteArray &received);

// "SUCCESS", "CheckByte Error" or "BAD PACKET", as the status indicator shows it.
QString outcomeText(Outcome outcome);

// Upper-case hexadecimal, two digits per byte, no separators.
QString toHex(const QByteArray &bytes);

} // namespace FrameCodec
