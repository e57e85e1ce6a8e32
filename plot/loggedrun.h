#pragma once

#include "plot/decimator.h"
#include "plot/pointstore.h"
#include "testlog/devicedescription.h"

#include <QDateTime>
#include <QString>

#include <optional>

// A test run as the chart draws it and a report prints it: its rows and
// their decimated points, its CSV file, its start and the device the start
// recorded.
struct LoggedRun
{
    PointStore points;
    MinMaxDecimator decimator;
    QString csvPath; // empty before the first run
    QDateTime start;
    std::optional<DeviceDescription> device; // empty: the run has no record of it
    bool eventsFound = true;                 // false for a run read back without its events file

    void clear();

    // Reads a run back from its CSV file (or its export for a spreadsheet)
    // and the run's events file, whose first line gives the start and the
    // device; without it the start is the first row's time. False, with the run left as it was,
    // when the CSV file cannot be opened. `unread` gets what of the file could not be read, in the
    // user's words; empty when all of it was a log.
    bool read(const QString &path, QString *unread = nullptr);
};
