#pragma once

#include "plot/pointstore.h"
#include "runreport/outputcheck.h"
#include "testlog/devicedescription.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

struct LoggedRun;
class QPainter;
class QPdfWriter;
class QRectF;
class RunChart;

// The report of one test run as a PDF file: the device as the run's start
// recorded it, the run, the output check and its verdict on the first page;
// the chart and the summary under it on the second.
struct RunReport
{
    QString csvPath; // the run's CSV file
    QDateTime start;
    std::optional<DeviceDescription> device; // empty when the run has no record of it
    bool eventsFound = true;                 // false: the run's events file is not there
    const PointStore *points = nullptr;
    double tolerance = OutputCheck::DefaultTolerance; // % of span
    // Draws the chart into a rectangle of the given width to height ratio.
    std::function<void(QPainter &, const QRectF &)> drawChart;
    double chartAspect = 2.0;

    // The report of `run`, its chart as `shownAs` shows it (the series shown,
    // the title), or, without one, as a new chart first shows the run. It
    // refers to `run` and `shownAs`, which must outlive it.
    static RunReport of(const LoggedRun &run, double tolerance, const RunChart *shownAs = nullptr);

    // "Прибор № 1042 · начало 08.12.2026 14:05:09 · 08.12.26 14.05.09.csv";
    // without the events file, "События испытания не найдены · …".
    static QString recordLine(const std::optional<DeviceDescription> &device,
                              const QDateTime &start, const QString &csvPath,
                              bool eventsFound = true);

    // "1042_2026-12-08_14-05-09.pdf" from the serial number and the start,
    // "unknown_…" without a serial number.
    QString fileName(int copy = 1) const;

    // Writes the report into `directory`, made if missing, under a name no
    // file has. Returns the file's path; on failure nothing is left behind,
    // the path is empty and `error` says why.
    QString write(const QString &directory, QString *error) const;

    OutputCheck check() const;

private:
    QString html() const;
};
