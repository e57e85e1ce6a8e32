#pragma once

#include <QString>

// Which of this program's lines holds which port. The system cannot tell a
// port held by another program from one we may not open, but a port held by
// one of our own lines can be named. Ports are keyed by their canonical path,
// since links (and a name given two ways) may point at the same port.
namespace PortOwners {

// The owner that holds the port, or empty when none of ours does.
QString ownerOf(const QString &portName);
// Returns the key to release it by: a port that has vanished has no canonical path.
QString claim(const QString &portName, const QString &owner);
void release(const QString &key);

} // namespace PortOwners
