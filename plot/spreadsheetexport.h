#pragma once

#include "plot/pointstore.h"

#include <QByteArray>
#include <QString>

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

// The whole file, or nothing: false with `error` set when it cannot be written.
bool write(const QString &path, const PointStore &points, QString *error);

} // namespace SpreadsheetExport
