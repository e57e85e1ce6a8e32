#pragma once

#include <QFile>
#include <QString>

#include <functional>

// Files written for the user (test runs, exports): never over another file,
// and named in boxes by a path the user can find.
namespace UserFile {

// How many copies of one name are tried before giving up.
constexpr int MaxCopies = 999;

// Goes before the extension: nothing for copy 1, " (2)" for copy 2, and on.
QString copySuffix(int copy);

// Opens `file` with `mode` under pathOf(1), pathOf(2)… whichever no file has
// yet. On failure the file names the last path tried, and its error says why.
bool createNew(QFile &file, const std::function<QString(int copy)> &pathOf,
               QIODevice::OpenMode mode);

// Absolute, without "." or "..", with the system's separators.
QString shownPath(const QString &path);

} // namespace UserFile
