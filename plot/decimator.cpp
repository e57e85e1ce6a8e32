#include "plot/decimator.h"

#include <cmath>

MinMaxDecimator::MinMaxDecimator(int buckets) : capacity(qMax(2, (buckets + 1) / 2 * 2))
{
    this->buckets.reserve(size_t(capacity));
}

void MinMaxDecimator::clear()
{
    buckets.clear();
    bucketRows = 1;
    rowCount = 0;
}

void MinMaxDecimator::add(qint64 time, const PointStore::Values &values)
{
    if (buckets.empty() || buckets.back().rows == bucketRows) {
        if (int(buckets.size()) == capacity)
            halve();
        if (buckets.empty() || buckets.back().rows == bucketRows)
            buckets.emplace_back();
    }
    Bucket &bucket = buckets.back();
    const qint64 row = rowCount++;
    ++bucket.rows;
    for (int s = 0; s < PointStore::Series; ++s) {
        const float v = values[size_t(s)];
        if (!std::isfinite(v))
            continue;
        Extreme &e = bucket.series[size_t(s)];
        if (e.lowRow < 0 || v < e.low) {
            e.low = v;
            e.lowRow = row;
            e.lowTime = time;
        }
        if (e.highRow < 0 || v > e.high) {
            e.high = v;
            e.highRow = row;
            e.highTime = time;
        }
    }
}

void MinMaxDecimator::merge(Bucket &into, const Bucket &next)
{
    into.rows += next.rows;
    for (int s = 0; s < PointStore::Series; ++s) {
        Extreme &a = into.series[size_t(s)];
        const Extreme &b = next.series[size_t(s)];
        if (b.lowRow >= 0 && (a.lowRow < 0 || b.low < a.low)) {
            a.low = b.low;
            a.lowRow = b.lowRow;
            a.lowTime = b.lowTime;
        }
        if (b.highRow >= 0 && (a.highRow < 0 || b.high > a.high)) {
            a.high = b.high;
            a.highRow = b.highRow;
            a.highTime = b.highTime;
        }
    }
}

// Runs once each time the row count doubles, so its cost spreads thin.
void MinMaxDecimator::halve()
{
    const size_t half = buckets.size() / 2;
    for (size_t i = 0; i < half; ++i) {
        Bucket merged = buckets[2 * i];
        merge(merged, buckets[2 * i + 1]);
        buckets[i] = merged;
    }
    buckets.resize(half);
    bucketRows *= 2;
}

QVector<QPointF> MinMaxDecimator::points(int series) const
{
    QVector<QPointF> out;
    out.reserve(int(buckets.size()) * 2);
    for (const Bucket &bucket : buckets) {
        const Extreme &e = bucket.series[size_t(series)];
        if (e.lowRow < 0)
            continue;
        const QPointF low(double(e.lowTime), double(e.low));
        const QPointF high(double(e.highTime), double(e.high));
        if (e.lowRow == e.highRow) {
            out.append(low);
        } else if (e.lowRow < e.highRow) {
            out.append(low);
            out.append(high);
        } else {
            out.append(high);
            out.append(low);
        }
    }
    return out;
}
