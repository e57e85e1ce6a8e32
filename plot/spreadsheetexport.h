#pragma once

#include "plot/pointstore.h"

#include <QByteArray>
#include <QObject>
#include <QSaveFile>
#include <QString>
#include <QTimer>

#include <functional>

// A run as a CSV file for a spreadsheet set to the Russian locale, which takes
// "," for the decimal separator and ";" between fields: UTF-8 with a
// byte-order mark, the run file's header texts, the time as
// "yyyy-MM-dd hh:mm:ss", three decimals, "\r\n" line ends, and an empty field
// for a value that is not a finite number. The chart reads such a file back.
namespace SpreadsheetExport {

// "<run name> (Excel).csv" beside the run's file.
QString pathBeside(const QString &csvPath);

// The lines of rows [first, last), the header and the byte-order mark first
// when `first` is 0.
QByteArray bytes(const PointStore &points, int first, int last);

// The whole file, or nothing: false with `error` set when it cannot be
// written. `goOn`, when given, hears the rows written so far before each
// block of rows; when it answers false the writing stops, leaving nothing,
// and `error` stays empty.
bool write(const QString &path, const PointStore &points, QString *error,
           const std::function<bool(int rowsWritten)> &goOn = nullptr);

} // namespace SpreadsheetExport

// The file of SpreadsheetExport, written from the event loop a slice at a
// time, so that the window goes on while a month's run (over a million rows,
// seconds of work) is written and no slice holds it more than SliceMs. The job
// writes its own copy of the rows, through a QSaveFile: the whole file, or
// nothing. progress() comes after each slice, finished() once, after cancel()
// too; a job deleted before it has finished leaves no file.
class SpreadsheetExportJob : public QObject
{
    Q_OBJECT
public:
    static constexpr int SliceMs = 25;

    SpreadsheetExportJob(const QString &path, PointStore points, QObject *parent = nullptr);
    ~SpreadsheetExportJob() override;

    void start();
    void cancel();
    int rows() const { return points.size(); }

signals:
    void progress(int rowsWritten);
    // Written whole, or not at all; `error` is empty after cancel().
    void finished(bool ok, QString error);

private:
    void writeSlice();
    void finish(bool ok, const QString &error = QString());

    QSaveFile file;
    const PointStore points;
    int written = 0;
    bool cancelled = false;
    bool over = false;
    QTimer nextSlice;
};
