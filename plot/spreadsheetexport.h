#pragma once

#include "plot/pointstore.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// A run as a CSV file for a spreadsheet set to the Russian locale, which takes
// "," for the decimal separator and ";" between fields: UTF-8 with a
// byte-order mark, the run file's header texts, the time as
// "yyyy-MM-dd hh:mm:ss", three decimals, "\r\n" line ends, and an empty field
// for a value that is not a finite number. The chart reads such a file back.
namespace SpreadsheetExport {

// "<run name> (Excel).csv" beside the run's file.
QString pathBeside(const QString &csvPath);
// The run's own file for either of them: "<run name>.csv" for its export.
QString runPathOf(const QString &path);

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

class ThreadHandOff;

// SpreadsheetExport::write() in a thread of its own, so that the window goes
// on while a month's run (over a million rows, seconds of work, and the
// system's flush of the file at the end) is written. The thread works on the
// job's own copy of the rows. progress() comes about every ProgressMs while it
// runs, finished() once, after cancel() too; a job deleted while it runs stops
// and leaves no file.
class SpreadsheetExportJob : public QObject
{
    Q_OBJECT
public:
    static constexpr int ProgressMs = 100;

    SpreadsheetExportJob(const QString &path, PointStore points, QObject *parent = nullptr);
    ~SpreadsheetExportJob() override;

    void start();
    void cancel();
    int rows() const { return rowCount; }

signals:
    void progress(int rowsWritten);
    // Written whole, or not at all; `error` is empty after cancel().
    void finished(bool ok, QString error);

private:
    class Thread;
    void finish(bool ok, const QString &error);

    ThreadHandOff *toJob; // lives in the job's thread
    Thread *thread;
    int rowCount;
};
