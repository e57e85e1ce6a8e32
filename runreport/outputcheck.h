#pragma once

#include "plot/pointstore.h"

#include <QString>

#include <optional>

// The output check of a run: in every row, the loop current the device reports
// against the current its corrected value calls for, 4 + 16 · (value − lower) /
// (upper − lower) mA held to 3.8 … 20.5 mA, the deviation given in % of the
// 16 mA span. It trusts the device's own figure for the current; a check
// against a meter in the loop is a calibration's work.
struct OutputCheck
{
    static constexpr double SpanMa = 16.0;
    static constexpr double DefaultTolerance = 0.1; // % of span

    enum class Outcome { Passed, Failed, NoRange, EmptySpan, NoRows };

    struct Range
    {
        double lower;
        double upper;
    };

    Outcome outcome = Outcome::NoRange;
    double tolerance = DefaultTolerance;
    int rowsChecked = 0; // rows whose corrected value and current are both numbers
    int rowsSkipped = 0;
    // In % of span, once computed(): the deviation of the largest magnitude,
    // with its sign, and the mean.
    double largest = 0;
    qint64 largestAt = 0; // the time of its row
    double mean = 0;
    // The loop currents of the rows checked, lowest and highest, in mA.
    double lowestMa = 0;
    double highestMa = 0;

    static double idealCurrent(double corrected, const Range &range);
    static OutputCheck of(const PointStore &points, const std::optional<Range> &range,
                          double tolerance);

    bool computed() const { return outcome == Outcome::Passed || outcome == Outcome::Failed; }
    // "Годен", "Не годен", or why there is no verdict.
    QString verdict() const;
    // The part of the output the rows checked covered, once computed():
    // "проверено 7.76 … 8.64 мА, 5.5 % диапазона". A verdict over a narrow
    // part says little of the rest.
    QString coveredText() const;
};
