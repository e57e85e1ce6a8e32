#pragma once

#include "plot/pointstore.h"

#include <QPointF>
#include <QVector>

#include <vector>

// What the chart draws of a long run: consecutive rows are grouped into
// buckets, and of each bucket only the lowest and the highest point of every
// series is kept, in time order, so spikes survive however many rows there are.
// When the buckets run out, neighbours merge and each bucket takes twice as many
// rows. Adding a row costs the same at any length, and a drawing has at most
// two points per bucket and series.
class MinMaxDecimator
{
public:
    // Between half of `buckets` and all of them are in use, up to two points
    // each: the default gives one or two points per pixel column of a plot
    // about 800 pixels wide. The chart's cost of taking new points grows with
    // their number, so more would only slow it down. Rounded up to even.
    explicit MinMaxDecimator(int buckets = 512);

    void clear();
    void add(qint64 time, const PointStore::Values &values);

    // The points of one series, x being the time in ms since the epoch.
    QVector<QPointF> points(int series) const;

    int bucketCount() const { return int(buckets.size()); }

private:
    struct Extreme
    {
        float low = 0;
        float high = 0;
        qint64 lowRow = -1; // -1: no finite value in the bucket
        qint64 highRow = -1;
        qint64 lowTime = 0;
        qint64 highTime = 0;
    };
    struct Bucket
    {
        qint64 rows = 0;
        std::array<Extreme, PointStore::Series> series;
    };
    static void merge(Bucket &into, const Bucket &next);
    void halve();

    int capacity;
    qint64 bucketRows = 1;
    qint64 rowCount = 0;
    std::vector<Bucket> buckets;
};
