#include "testlog/testrun.h"

#include "app/userfile.h"
#include "testlog/csvformat.h"
#include "testlog/testlogfile.h"

namespace {

const QString Attention = QStringLiteral("Внимание!");

} // namespace

TestRun::TestRun(QObject *parent) : QObject(parent) {}

TestRun::~TestRun()
{
    end(RunEnd::WindowClosed);
}

bool TestRun::start(const QString &directory, const QDateTime &startTime, QString *failure,
                    const QString &prefix)
{
    auto *file = new TestLogFile(this);
    if (!file->create(directory, startTime, prefix)) {
        *failure = QStringLiteral("Не удалось создать файл журнала\n%1\nТестирование не запущено.")
                       .arg(UserFile::shownPath(file->fileName()));
        delete file;
        return false;
    }
    end(RunEnd::Stop);
    delete log;
    log = file;
    rowCount = 0;
    running = true;
    if (!events.create(log->fileName()))
        emit problem(Attention, QStringLiteral("Не удалось создать файл событий испытания\n%1\n"
                                               "Испытание идёт, его строки записываются.")
                                    .arg(UserFile::shownPath(events.fileName())));
    return true;
}

QString TestRun::fileName() const
{
    return log ? log->fileName() : QString();
}

QString TestRun::shownFileName() const
{
    return log ? UserFile::shownPath(log->fileName()) : QString();
}

void TestRun::logRow(const QDateTime &time, const QList<double> &values)
{
    if (!running || !log)
        return;
    const TestLogFile::RowOutcome outcome = log->writeRow(CsvFormat::rowFields(time, values));
    ++rowCount;
    emit rowLogged(time, values);
    if (outcome != TestLogFile::RowOutcome::FirstFailure)
        return;
    emit rowsFailing();
    if (running)
        emit problem(Attention,
                     QStringLiteral("Не удалось записать строку в файл журнала\n%1\n%2\n"
                                    "Строки этого испытания, начиная с этой, "
                                    "могут отсутствовать в файле.")
                         .arg(UserFile::shownPath(log->fileName()), log->failureReason()));
}

void TestRun::note(const QString &text, const QDateTime &time)
{
    if (!running)
        return;
    if (!events.add(time, text))
        emit problem(Attention,
                     QStringLiteral("Не удалось записать событие в файл событий испытания\n%1\n%2")
                         .arg(UserFile::shownPath(events.fileName()), events.failureReason()));
}

// Every row is in the file already; closing it releases it. The file's name
// stays until the next run, so a box can still name it.
void TestRun::end(RunEnd cause, const QString &detail)
{
    if (!running)
        return;
    const QString causeText = runEndText(cause, detail);
    note(QStringLiteral("Конец испытания: %1. Строк: %2").arg(causeText).arg(rowCount));
    running = false;
    events.close();
    if (log)
        log->close();
    emit ended(causeText);
}
