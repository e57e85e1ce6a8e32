#include "plot/pointstore.h"

#include <algorithm>
#include <cmath>
#include <limits>

void PointStore::clear()
{
    times.clear();
    values.clear();
    blockStarts.clear();
    running = {};
    lowest.fill(std::numeric_limits<float>::quiet_NaN());
    highest.fill(std::numeric_limits<float>::quiet_NaN());
}

void PointStore::reserve(size_t rows)
{
    times.reserve(rows);
    values.reserve(rows * Series);
    blockStarts.reserve(rows / BlockRows + 1);
}

void PointStore::append(qint64 time, const Values &row)
{
    if (times.size() % BlockRows == 0)
        blockStarts.push_back(running);
    times.push_back(time);
    for (int s = 0; s < Series; ++s) {
        const float v = row[size_t(s)];
        values.push_back(v);
        if (!std::isfinite(v))
            continue;
        running[size_t(s)].sum += v;
        ++running[size_t(s)].count;
        // NaN compares false, so the first finite value always lands.
        if (!(v >= lowest[size_t(s)]))
            lowest[size_t(s)] = v;
        if (!(v <= highest[size_t(s)]))
            highest[size_t(s)] = v;
    }
}

PointStore::Sum PointStore::prefix(int series, int row) const
{
    if (row >= size())
        return running[size_t(series)];
    const int block = row / BlockRows;
    Sum total = blockStarts[size_t(block)][size_t(series)];
    for (int r = block * BlockRows; r < row; ++r) {
        const float v = value(r, series);
        if (std::isfinite(v)) {
            total.sum += v;
            ++total.count;
        }
    }
    return total;
}

PointStore::Sum PointStore::sum(int series, int first, int last) const
{
    first = std::clamp(first, 0, size());
    last = std::clamp(last, first, size());
    const Sum upTo = prefix(series, last);
    const Sum before = prefix(series, first);
    return {upTo.sum - before.sum, upTo.count - before.count};
}

int PointStore::lowerBound(qint64 moment) const
{
    return int(std::lower_bound(times.begin(), times.end(), moment) - times.begin());
}

int PointStore::upperBound(qint64 moment) const
{
    return int(std::upper_bound(times.begin(), times.end(), moment) - times.begin());
}

double PointStore::bytesPerRow() const
{
    if (times.empty())
        return 0;
    const double bytes = double(times.capacity() * sizeof(qint64)) +
                         double(values.capacity() * sizeof(float)) +
                         double(blockStarts.capacity() * sizeof(blockStarts[0]));
    return bytes / double(times.size());
}
