#include "link/passwordmask.h"

#include "device/requests.h"
#include "link/framecodec.h"

namespace PasswordMask {

bool isUnlock(const QByteArray &request)
{
    return request.size() >= 2 && quint8(request.at(0)) == Device::Type::Action &&
           quint8(request.at(1)) == Device::ActionCommand::FactoryMode;
}

QString shownPayload(const QByteArray &request)
{
    const QByteArray payload = request.mid(2);
    return isUnlock(request) ? QString(QLatin1String(Masked)).repeated(payload.size())
                             : FrameCodec::toHex(payload);
}

QString TxMask::hex(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes) {
        const quint8 value = quint8(byte);
        if (state == State::Secret) {
            text += QLatin1String(Masked);
            if (--secretLeft == 0)
                state = State::Idle;
            continue;
        }
        text += FrameCodec::toHex(QByteArray(1, byte));
        switch (state) {
        case State::Idle:
        case State::Delimiter:
            state = value == 0xFF ? State::Delimiter
                    : state == State::Delimiter && value == FrameCodec::PayloadFrameType
                        ? State::PayloadType
                        : State::Idle;
            break;
        case State::PayloadType:
            state = value == Device::ActionCommand::FactoryMode ? State::UnlockCommand
                    : value == 0xFF                             ? State::Delimiter
                                                                : State::Idle;
            break;
        case State::UnlockCommand:
            // The length byte: that many payload bytes, then the check byte.
            secretLeft = value + 1;
            state = State::Secret;
            break;
        case State::Secret:
            break;
        }
    }
    return text;
}

} // namespace PasswordMask
