#include "plot/spreadsheetexport.h"

#include "app/userfile.h"
#include "testlog/csvformat.h"

#include <QDateTime>
#include <QDir>
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

class SpreadsheetExportJob::Thread : public QThread
{
public:
    Thread(const QString &path, PointStore points) : path(path), points(std::move(points)) {}

    const QString path;
    const PointStore points;
    std::atomic<int> written{0};
    std::atomic<bool> cancelled{false};

    // Once the thread has finished. The flag itself orders what run() wrote
    // before what the caller reads, without leaning on how Qt waits and
    // queues signals.
    bool outcome(QString *why) const
    {
        if (!over.load(std::memory_order_acquire))
            return false;
        *why = error;
        return ok;
    }

protected:
    void run() override
    {
        ok = SpreadsheetExport::write(path, points, &error, [this](int rows) {
            written = rows;
            return !cancelled;
        });
        over.store(true, std::memory_order_release);
    }

private:
    bool ok = false;
    QString error;
    std::atomic<bool> over{false};
};

SpreadsheetExportJob::SpreadsheetExportJob(const QString &path, PointStore points, QObject *parent)
    : QObject(parent), thread(new Thread(path, std::move(points))), rowCount(thread->points.size())
{
    progressTimer.setInterval(ProgressMs);
    connect(&progressTimer, &QTimer::timeout, this, [this] { emit progress(thread->written); });
    // Emitted in the thread, so it comes here through the event loop.
    connect(thread, &QThread::finished, this, [this] {
        progressTimer.stop();
        QString error;
        const bool ok = thread->outcome(&error);
        emit finished(ok, error);
    });
}

SpreadsheetExportJob::~SpreadsheetExportJob()
{
    thread->cancelled = true;
    thread->wait();
    QString ignored;
    thread->outcome(&ignored); // the rows it read are freed after it is done with them
    delete thread;
}

void SpreadsheetExportJob::start()
{
    progressTimer.start();
    thread->start();
}

void SpreadsheetExportJob::cancel()
{
    thread->cancelled = true;
}
