#include "runreport/batchreport.h"
BatchReportResult writeBatchReports(const QList<BatchRun> &, const QString &, double, const QDateTime &) { return {}; }
