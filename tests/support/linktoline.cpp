#include "support/linktoline.h"

#include <QFile>

namespace TestSupport {

LinkToLine::LinkToLine(const QString &name) : link(scratch.filePath(name))
{
    cut();
}

bool LinkToLine::pointAt(const QString &target)
{
    if (!scratch.isValid() || target.isEmpty())
        return false;
    QFile::remove(link);
    return QFile::link(target, link);
}

bool LinkToLine::cut()
{
    // Inside the scratch folder, so no one else can create it.
    return pointAt(scratch.filePath(QStringLiteral("gone")));
}

} // namespace TestSupport
