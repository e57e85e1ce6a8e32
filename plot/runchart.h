#pragma once

#include "plot/chartcompat.h"
#include "plot/decimator.h"
#include "plot/pointstore.h"

#include <array>

class QPainter;
class QRectF;
class QSizeF;

// The chart of a run's five values against time: the temperatures on the
// left axis, the loop current and the converter value (ohms, millivolts or
// counts, hidden at first) on axes of their own on the right. A hidden series
// keeps its legend entry, greyed. The window shows one; a report draws one of
// a size of its own.
class RunChart
{
public:
    // The chart belongs to whatever shows it: a view, or a scene.
    RunChart();
    QChart *chart() const { return owned; }
    QLineSeries *series(int series) const { return lines[size_t(series)]; }
    // The series a legend entry stands for, or -1.
    int seriesOf(QLegendMarker *marker) const;

    void setSeriesVisible(int series, bool visible);
    // Draws the decimated points of the visible series and fits the axes to the rows.
    void draw(const MinMaxDecimator &decimator, const PointStore &points);
    // A copy of `other`'s title, series shown and points, as large as `size`, into `target`.
    static void render(const RunChart &other, const MinMaxDecimator &decimator,
                       const PointStore &points, QPainter &painter, const QRectF &target,
                       const QSizeF &size);

private:
    void updateAxes(const PointStore &points);

    QChart *owned = new QChart;
    QDateTimeAxis *timeAxis = new QDateTimeAxis;
    QValueAxis *valueAxis = new QValueAxis;
    QValueAxis *currentAxis = new QValueAxis;
    QValueAxis *converterAxis = new QValueAxis;
    std::array<QLineSeries *, PointStore::Series> lines{};
};
