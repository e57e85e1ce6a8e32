#pragma once

#include <QByteArray>
#include <QString>

// The administrator password never shows in traffic the program writes or
// shows. The unlock request's payload is the password, and its payload
// frame's check byte would give it away too: each of those bytes is shown
// as "**" instead of its two hex digits, whatever else is as toHex() has it.
//
// TxMask follows the bytes written to the line in order, in whatever pieces
// they go (frames, raw groups typed by hand, a password split between
// groups), and masks the payload and check byte of every payload frame of
// the unlock command: FF 03 00 <length> <payload...> <check> FF.
namespace PasswordMask {

constexpr char Masked[] = "**";

// The unlock request: type, command, password.
bool isUnlock(const QByteArray &request);
// A request's payload as the manual packet window shows it.
QString shownPayload(const QByteArray &request);

class TxMask
{
public:
    // The next bytes written, in hex, the secret ones masked.
    QString hex(const QByteArray &bytes);
    void reset() { *this = TxMask(); }

private:
    enum class State { Idle, Delimiter, PayloadType, UnlockCommand, Secret };
    State state = State::Idle;
    int secretLeft = 0; // payload bytes and the check byte still to come
};

} // namespace PasswordMask
