#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

// The rows of one run as the chart keeps them: the time in milliseconds since
// the epoch and the five live values as single-precision numbers (the device
// sends them as such), 28 bytes a row. Running minimum and maximum and block
// sums are kept as rows come, so the summary never walks all rows.
//
// Values that are not finite (the log writes "nan" and "inf") are kept but left
// out of the extremes and the sums.
class PointStore
{
public:
    static constexpr int Series = 5;
    using Values = std::array<float, Series>;

    PointStore() { clear(); }
    void clear();
    void reserve(size_t rows);
    void append(qint64 time, const Values &values);

    int size() const { return int(times.size()); }
    bool isEmpty() const { return times.empty(); }
    qint64 time(int row) const { return times[size_t(row)]; }
    float value(int row, int series) const { return values[size_t(row) * Series + size_t(series)]; }

    // Extremes over the finite values of a series; NaN when it has none.
    float minimum(int series) const { return lowest[size_t(series)]; }
    float maximum(int series) const { return highest[size_t(series)]; }

    // Sum and count of the finite values of a series in rows [first, last).
    struct Sum
    {
        double sum = 0;
        qint64 count = 0;
    };
    Sum sum(int series, int first, int last) const;

    // The first row whose time is not before `moment`, rows being in time order.
    int lowerBound(qint64 moment) const;
    // The first row whose time is after `moment`.
    int upperBound(qint64 moment) const;

    // Bytes held per row, capacity included.
    double bytesPerRow() const;

private:
    // Sums from the first row up to the start of each block of BlockRows rows.
    static constexpr int BlockRows = 64;
    Sum prefix(int series, int row) const;

    std::vector<qint64> times;
    std::vector<float> values;
    std::vector<std::array<Sum, Series>> blockStarts;
    std::array<Sum, Series> running{};
    Values lowest{};
    Values highest{};
};
