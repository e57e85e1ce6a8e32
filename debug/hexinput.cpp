#include "debug/hexinput.h"

namespace HexInput {

QByteArray decode(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

QList<QByteArray> rawGroups(const QString &text)
{
    QList<QByteArray> groups;
    const QList<QByteArray> parts = text.toLatin1().split(' ');
    for (const QByteArray &part : parts)
        groups.append(QByteArray::fromHex(part));
    return groups;
}

} // namespace HexInput
