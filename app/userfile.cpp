#include "app/userfile.h"

#include <QDir>
#include <QFileInfo>

namespace UserFile {

QString copySuffix(int copy)
{
    return copy > 1 ? QStringLiteral(" (%1)").arg(copy) : QString();
}

bool createNew(QFile &file, const std::function<QString(int copy)> &pathOf,
               QIODevice::OpenMode mode)
{
    for (int copy = 1; copy <= MaxCopies; ++copy) {
        file.setFileName(pathOf(copy));
        // NewOnly fails instead of truncating when the name is taken, and the
        // check and the creation are one step, so no other file can slip in.
        if (file.open(mode | QIODevice::NewOnly))
            return true;
        const QFileInfo existing(file.fileName());
        if (!existing.exists() && !existing.isSymLink())
            return false; // not a taken name: the directory refuses new files
    }
    return false;
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

} // namespace UserFile
