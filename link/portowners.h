#pragma once

#include <QString>

// Which of this program's lines holds which port. The system cannot tell a
// port held by another program from one we may not open, but a port held by
// one of our own lines can be named. Ports are keyed by their canonical path,
// since links (and a name given two ways) may point at the same port.
namespace PortOwners {

// Claims the port for `owner`, or keeps its claim. False when another line
// of ours holds it, with its owner in `holder`. `key` is what to release it
// by: a port that has vanished has no canonical path.
bool claim(const QString &portName, const QString &owner, QString *key, QString *holder);
void release(const QString &key);
// The line of ours that holds the port; empty when none does.
QString holder(const QString &portName);

} // namespace PortOwners
