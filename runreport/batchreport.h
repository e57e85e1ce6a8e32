#pragma once

#include "runreport/outputcheck.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One transmitter of a rack: the port it is on and the CSV file of its last
// run. The port comes from the caller: a run's files do not always name it.
struct BatchRun
{
    QString port;
    QString csvPath;
};

struct BatchReportResult
{
    QStringList reports; // the run reports written, in the order of the runs
    QString summary;     // the summary's path; empty when it could not be written
    QStringList errors;  // what went wrong, in the user's words, one text each
};

// The reports of a rack's runs with no window and no box: the report of each
// run, as the chart window writes it, and a summary of all of them on one
// sheet for a technician to sign, "Стенд yyyy-MM-dd hh.mm.pdf" of `made`,
// all into `directory`, never over another file. A run whose files cannot be
// read has an error and a row that says so.
BatchReportResult writeBatchReports(const QList<BatchRun> &runs, const QString &directory,
                                    double tolerance = OutputCheck::DefaultTolerance,
                                    const QDateTime &made = QDateTime::currentDateTime());
