#include "link/framecodec.h"

namespace FrameCodec {

quint8 computeCheckByte(const QByteArray &bytes)
{
    int i = 0;
    while (i < bytes.size() && quint8(bytes.at(i)) == 0xFF)
        ++i;
    quint8 check = 0;
    for (; i < bytes.size(); ++i)
        check ^= quint8(bytes.at(i));
    return check;
}

static QByteArray closeFrame(QByteArray frame)
{
    frame.append(char(computeCheckByte(frame)));
    frame.append(Delimiter);
    return frame;
}

QList<QByteArray> buildFrames(const QByteArray &request)
{
    if (request.size() < 2)
        return {};
    const QByteArray payload = request.mid(2);
    QByteArray header;
    header.append(Delimiter);
    header.append(request.at(0));
    header.append(request.at(1));
    header.append(char(payload.size() & 0xFF));

    QList<QByteArray> frames{closeFrame(header)};
    // A read never carries its payload: the device only needs type and command.
    if (request.at(0) != 0 && !payload.isEmpty()) {
        QByteArray body = header;
        body[1] = char(PayloadFrameType);
        body.append(payload);
        frames.append(closeFrame(body));
    }
    return frames;
}

Received acceptFrame(const QByteArray &received)
{
    // The first and last bytes are taken as delimiters whatever they hold.
    const QByteArray body =
        received.size() >= 2 ? received.mid(1, received.size() - 2) : QByteArray();
    const bool checkOk = computeCheckByte(body) == 0;
    const QByteArray candidate = body.left(qMax(0, body.size() - 1));

    const qint8 type = candidate.isEmpty() ? 0 : qint8(candidate.at(0));
    if (type > 3)
        return {Outcome::BadPacket, checkOk, {}};
    return {checkOk ? Outcome::Success : Outcome::CheckByteError, checkOk, candidate};
}

QString outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Success:
        return QStringLiteral("SUCCESS");
    case Outcome::CheckByteError:
        return QStringLiteral("CheckByte Error");
    case Outcome::BadPacket:
        return QStringLiteral("BAD PACKET");
    }
    return {};
}

QString toHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

} // namespace FrameCodec
