#include "plot/spreadsheetexport.h"

#include "app/userfile.h"
#include "testlog/csvformat.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

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

SpreadsheetExportJob::SpreadsheetExportJob(const QString &path, PointStore points, QObject *parent)
    : QObject(parent), file(path), points(std::move(points))
{
    nextSlice.setSingleShot(true);
    connect(&nextSlice, &QTimer::timeout, this, &SpreadsheetExportJob::writeSlice);
}

SpreadsheetExportJob::~SpreadsheetExportJob()
{
    if (file.isOpen())
        file.cancelWriting();
}

void SpreadsheetExportJob::start()
{
    if (!file.open(QIODevice::WriteOnly)) {
        const QString error = file.errorString();
        QTimer::singleShot(0, this, [this, error] { finish(false, error); });
        return;
    }
    nextSlice.start(0);
}

void SpreadsheetExportJob::cancel()
{
    cancelled = true;
}

// Blocks of rows until the slice's time is up: the window's events come
// between two slices.
void SpreadsheetExportJob::writeSlice()
{
    QElapsedTimer slice;
    slice.start();
    constexpr int RowsPerBlock = 1000;
    do {
        if (cancelled) {
            file.cancelWriting();
            finish(false);
            return;
        }
        const int last = qMin(written + RowsPerBlock, points.size());
        const QByteArray block = SpreadsheetExport::bytes(points, written, last);
        if (file.write(block) != block.size()) {
            const QString error = UserFile::writeFailure(file, block.size());
            file.cancelWriting();
            finish(false, error);
            return;
        }
        written = last;
    } while (written < points.size() && slice.elapsed() < SliceMs);
    emit progress(written);
    if (written < points.size()) {
        nextSlice.start(0);
        return;
    }
    if (file.commit())
        finish(true);
    else
        finish(false, UserFile::writeFailure(file, 0));
}

void SpreadsheetExportJob::finish(bool ok, const QString &error)
{
    if (over)
        return;
    over = true;
    emit finished(ok, error);
}
