#include "plot/spreadsheetexport.h"

#include "testlog/csvformat.h"

#include <QDateTime>
#include <QDir>
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

bool write(const QString &path, const PointStore &points, QString *error)
{
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    for (int first = 0; ok && (first == 0 || first < points.size()); first += RowsPerWrite) {
        const QByteArray chunk = bytes(points, first, qMin(first + RowsPerWrite, points.size()));
        ok = file.write(chunk) == chunk.size();
    }
    if (ok && file.commit())
        return true;
    *error = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace SpreadsheetExport
