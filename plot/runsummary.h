#pragma once

#include "plot/pointstore.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// The figures under the chart: per value its lowest, highest and mean, and
// the drift, the mean of the last ten minutes less the mean of the first ten;
// for the run its length and row count. A figure that has no finite values to
// come from is NaN; so is the drift of a run shorter than the window, whose
// first and last ten minutes would be the same rows.
struct RunSummary
{
    static constexpr qint64 DriftWindowMs = 10 * 60 * 1000;

    struct Value
    {
        double minimum;
        double maximum;
        double mean;
        double drift;
    };

    int rows = 0;
    qint64 durationMs = 0;
    std::array<Value, PointStore::Series> values{};

    // Costs a few binary searches whatever the run's length. Rows are taken to
    // be in time order, as a run writes them.
    static RunSummary of(const PointStore &store, qint64 windowMs = DriftWindowMs);

    // "2 д 03:04:05" or "03:04:05".
    static QString durationText(qint64 ms);
    // A figure as the summary shows it: three decimals, "—" for NaN.
    static QString figureText(double value);

    // The summary as a table, the same under the chart and in a report: the
    // column titles after an empty corner, then one row per value, its name first.
    QList<QStringList> table() const;
};
