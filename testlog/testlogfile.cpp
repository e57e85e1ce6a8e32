#include "testlog/testlogfile.h"

#include "app/userfile.h"
#include "testlog/csvformat.h"
#include "testlog/runevents.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

TestLogFile::TestLogFile(QObject *parent) : QFile(parent) {}

TestLogFile::~TestLogFile()
{
    close();
}

bool TestLogFile::create(const QString &directory, const QDateTime &start, const QString &prefix)
{
    close();
    failureSeen = false;
    failure.clear();
    const QDir dir(directory);
    const auto pathOf = [&](int copy) {
        return dir.filePath(CsvFormat::fileName(start, copy, prefix));
    };
    // The run's events go beside the file, so their name must be free too.
    if (!UserFile::createNew(*this, pathOf, QIODevice::WriteOnly | QIODevice::Unbuffered,
                             &RunEvents::pathFor)) {
        setFileName(pathOf(1));
        return false;
    }
    if (!writeLine(CsvFormat::line(CsvFormat::headerFields()))) {
        close();
        remove();
        return false;
    }
    return true;
}

TestLogFile::RowOutcome TestLogFile::writeRow(const QStringList &fields)
{
    if (!isOpen())
        failure = QStringLiteral("Файл журнала не открыт");
    else if (writeLine(CsvFormat::line(fields)))
        return RowOutcome::Written;
    if (failureSeen)
        return RowOutcome::Failed;
    failureSeen = true;
    return RowOutcome::FirstFailure;
}

bool TestLogFile::writeLine(const QByteArray &bytes)
{
    if (!UserFile::writeWholeLine(*this, bytes, &failure))
        return false;
    if (stillOnDisk())
        return true;
    failure = QStringLiteral("Файл удалён или заменён другим");
    return false;
}

// Writing into a file that was deleted or replaced succeeds but keeps nothing,
// so a written row only counts when the file under our name is still ours:
// a regular file exactly as long as what we wrote.
bool TestLogFile::stillOnDisk() const
{
    const QFileInfo onDisk(fileName());
    return onDisk.isFile() && onDisk.size() == pos();
}
