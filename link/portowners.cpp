#include "link/portowners.h"

#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

namespace {

// GUI thread only: every line is opened and closed there.
QHash<QString, QString> &owners()
{
    static QHash<QString, QString> table;
    return table;
}

QString keyOf(const QString &portName)
{
    const QSerialPortInfo info(portName);
    const QString location = info.isNull() ? portName : info.systemLocation();
    const QString canonical = QFileInfo(location).canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // Windows' COM names are no files, and their case does not matter.
    return location.toUpper();
}

} // namespace

namespace PortOwners {

bool claim(const QString &portName, const QString &owner, QString *key, QString *holder)
{
    *key = keyOf(portName);
    *holder = owners().value(*key);
    if (!holder->isEmpty() && *holder != owner)
        return false;
    owners().insert(*key, owner);
    return true;
}

void release(const QString &key)
{
    owners().remove(key);
}

QString holder(const QString &portName)
{
    return owners().value(keyOf(portName));
}

} // namespace PortOwners
