#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Files written for the user (test runs, exports), never over another file.
namespace UserFile {

// Goes before the extension: nothing for copy 1, " (2)" for copy 2, and on.
inline QString copySuffix(int copy)
{
    return copy > 1 ? QStringLiteral(" (%1)").arg(copy) : QString();
}

// Opens `file` under pathOf(1), pathOf(2)… up to 999, whichever no file has yet
// (nor its companion, a file that goes beside it under a name made from its own).
// On failure the file names the last path tried, and its error says why.
template <class PathOf>
bool createNew(QFile &file, const PathOf &pathOf, QIODevice::OpenMode mode,
               QString (*companion)(const QString &) = nullptr)
{
    for (int copy = 1; copy <= 999; ++copy) {
        file.setFileName(pathOf(copy));
        if (companion && QFileInfo::exists(companion(file.fileName())))
            continue;
        // NewOnly fails instead of truncating when the name is taken, and the
        // check and the creation are one step, so no other file can slip in.
        if (file.open(mode | QIODevice::NewOnly))
            return true;
        if (!file.exists() && !QFileInfo(file).isSymLink())
            return false; // not a taken name: the directory refuses new files
    }
    return false;
}

// The path a box shows: absolute, clean, with the system's separators.
inline QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

// Writes `line` at the file's position whole or not at all: when only part of
// it goes (a full disk), the file is cut back to where the line began, so it
// never ends in half a line. On failure `why` tells the reason in the user's
// words. For a file opened unbuffered, which every line file here is.
bool writeWholeLine(QFileDevice &file, const QByteArray &line, QString *why);

// Why `bytes` could not be written to `file`: "Диск заполнен" when the disk
// has no room left, the file's own error otherwise.
QString writeFailure(const QFileDevice &file, qint64 bytes);

} // namespace UserFile
