#pragma once
// TEMPORARY STUB until the real one lands
#include "runreport/outputcheck.h"
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
struct BatchRun { QString port; QString csvPath; };
struct BatchReportResult { QStringList reports; QString summary; QStringList errors; };
BatchReportResult writeBatchReports(const QList<BatchRun> &runs, const QString &directory, double tolerance = OutputCheck::DefaultTolerance, const QDateTime &made = QDateTime::currentDateTime());
