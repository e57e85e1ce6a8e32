#include "app/userfile.h"

#include <QStorageInfo>

namespace UserFile {

bool writeWholeLine(QFileDevice &file, const QByteArray &line, QString *why)
{
    const qint64 start = file.pos();
    qint64 written = 0;
    // A write cut short by a signal goes on with the rest; one cut short by a
    // full disk fails on the rest and says why.
    while (written < line.size()) {
        const qint64 chunk = file.write(line.constData() + written, line.size() - written);
        if (chunk <= 0)
            break;
        written += chunk;
    }
    if (written == line.size())
        return true;
    // Said before the cut, which clears the file's error.
    *why = writeFailure(file, line.size() - written);
    if (written > 0)
        file.resize(start);
    return false;
}

QString writeFailure(const QFileDevice &file, qint64 bytes)
{
    // Qt says so on Unix; Windows reports a full disk as any write error.
    if (file.error() == QFileDevice::ResourceError)
        return QStringLiteral("Диск заполнен");
    const QStorageInfo volume(QFileInfo(file.fileName()).absolutePath());
    const qint64 room = volume.isValid() ? volume.bytesAvailable() : -1;
    if (room >= 0 && room < bytes)
        return QStringLiteral("Диск заполнен");
    return file.errorString();
}

} // namespace UserFile
