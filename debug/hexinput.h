#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace HexInput {

// Typed text to bytes: Latin-1 first (other characters become '?'), then
// hexadecimal digits of either case; everything else is skipped, and an odd
// digit count makes the first digit a byte of its own.
QByteArray decode(const QString &text);

// A raw send: the text split at every space into groups, each decoded on its
// own. Empty groups stay, since each group costs its pause on the line.
QList<QByteArray> rawGroups(const QString &text);

} // namespace HexInput
