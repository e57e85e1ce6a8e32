#include "plot/spreadsheetexport.h"

#include "app/userfile.h"
#include "link/threadhandoff.h"
#include "testlog/csvformat.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QThread>

#include <atomic>
#include <cmath>

namespace SpreadsheetExport {

namespace {

constexpr int RowsPerWrite = 10000;

QByteArray valueText(float value)
{
    if (!std::isfinite(value))
        return {};
    return CsvFormat::valueText(double(value)).toLatin1().replace('.', ',');
}

} // namespace

QString pathBeside(const QString &csvPath)
{
    const QFileInfo run(csvPath);
    return run.dir().filePath(run.completeBaseName() + QStringLiteral(" (Excel).csv"));
}

QString runPathOf(const QString &path)
{
    const QFileInfo file(path);
    const QString exported = QStringLiteral(" (Excel)");
    if (!file.completeBaseName().endsWith(exported))
        return path;
    return file.dir().filePath(file.completeBaseName().chopped(exported.size()) +
                               QStringLiteral(".csv"));
}

QByteArray bytes(const PointStore &points, int first, int last)
{
    QByteArray text;
    if (first == 0)
        text = "\xEF\xBB\xBF" + CsvFormat::headerFields().join(QLatin1Char(';')).toUtf8() + "\r\n";
    for (int row = first; row < last; ++row) {
        text += QLocale::c()
                    .toString(QDateTime::fromMSecsSinceEpoch(points.time(row)),
                              QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                    .toLatin1();
        for (int series = 0; series < PointStore::Series; ++series)
            text += ';' + valueText(points.value(row, series));
        text += "\r\n";
    }
    return text;
}

bool write(const QString &path, const PointStore &points, QString *error,
           const std::function<bool(int rowsWritten)> &goOn)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    for (int first = 0; first == 0 || first < points.size(); first += RowsPerWrite) {
        if (goOn && !goOn(first)) {
            file.cancelWriting();
            return false;
        }
        const QByteArray chunk = bytes(points, first, qMin(first + RowsPerWrite, points.size()));
        if (file.write(chunk) != chunk.size()) {
            *error = UserFile::writeFailure(file, chunk.size());
            file.cancelWriting();
            return false;
        }
    }
    if (file.commit())
        return true;
    *error = UserFile::writeFailure(file, 0);
    return false;
}

} // namespace SpreadsheetExport

// Writes the job's copy of the rows. What it tells the job, its progress and
// its outcome, goes through the job's hand-over; the job only ever asks it to stop.
class SpreadsheetExportJob::Thread : public QThread
{
public:
    Thread(const QString &path, PointStore points, ThreadHandOff *toJob, SpreadsheetExportJob *job)
        : path(path), points(std::move(points)), toJob(toJob), job(job)
    {
    }

    const QString path;
    const PointStore points;
    std::atomic<bool> cancelled{false};

protected:
    void run() override
    {
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        QString error;
        const bool ok =
            SpreadsheetExport::write(path, points, &error, [this, &sinceProgress](int rows) {
                if (sinceProgress.elapsed() >= ProgressMs) {
                    sinceProgress.restart();
                    SpreadsheetExportJob *to = job;
                    toJob->post([to, rows] { emit to->progress(rows); });
                }
                return !cancelled;
            });
        SpreadsheetExportJob *to = job;
        toJob->post([to, ok, error] { to->finish(ok, error); });
    }

private:
    ThreadHandOff *toJob;
    SpreadsheetExportJob *job;
};

SpreadsheetExportJob::SpreadsheetExportJob(const QString &path, PointStore points, QObject *parent)
    : QObject(parent), toJob(new ThreadHandOff(this)),
      thread(new Thread(path, std::move(points), toJob, this)), rowCount(thread->points.size())
{
}

// What the thread posted and has not run yet goes with the hand-over, a child.
SpreadsheetExportJob::~SpreadsheetExportJob()
{
    thread->cancelled = true;
    thread->wait();
    delete thread;
}

void SpreadsheetExportJob::start()
{
    thread->start();
}

void SpreadsheetExportJob::cancel()
{
    thread->cancelled = true;
}

void SpreadsheetExportJob::finish(bool ok, const QString &error)
{
    thread->wait(); // posted as its last act: over in a moment
    emit finished(ok, error);
}
