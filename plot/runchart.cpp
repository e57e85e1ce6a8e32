#include "plot/runchart.h"

#include "testlog/csvformat.h"

#include <QDateTime>
#include <QGraphicsLayout>
#include <QGraphicsScene>

#include <algorithm>
#include <cmath>

namespace {

// A range around [low, high] with a little room, never empty.
std::pair<double, double> padded(double low, double high)
{
    if (std::isnan(low) || std::isnan(high) || std::isinf(low) || std::isinf(high))
        return {0.0, 1.0};
    const double room = high > low ? (high - low) * 0.05 : qMax(1.0, std::abs(high) * 0.01);
    return {low - room, high + room};
}

void setRange(QValueAxis *axis, std::pair<double, double> range)
{
    axis->setRange(range.first, range.second);
    axis->applyNiceNumbers();
}

} // namespace

RunChart::RunChart()
{
    owned->legend()->setAlignment(Qt::AlignBottom);
    timeAxis->setTitleText(QStringLiteral("Время"));
    valueAxis->setTitleText(QStringLiteral("Температура, °C"));
    currentAxis->setTitleText(QStringLiteral("Ток, мА"));
    converterAxis->setTitleText(QStringLiteral("Значение преобразователя"));
    owned->addAxis(timeAxis, Qt::AlignBottom);
    owned->addAxis(valueAxis, Qt::AlignLeft);
    owned->addAxis(currentAxis, Qt::AlignRight);
    owned->addAxis(converterAxis, Qt::AlignRight);
    for (int s = 0; s < PointStore::Series; ++s) {
        auto *line = new QLineSeries;
        line->setName(QString::fromUtf8(CsvFormat::LegendNames[s]));
        owned->addSeries(line);
        line->attachAxis(timeAxis);
        line->attachAxis(s == CsvFormat::Current     ? currentAxis
                         : s == CsvFormat::Converter ? converterAxis
                                                     : valueAxis);
        lines[size_t(s)] = line;
    }
    setSeriesVisible(CsvFormat::Converter, false);
    updateAxes(PointStore());
}

int RunChart::seriesOf(QLegendMarker *marker) const
{
    const auto found = std::find(lines.begin(), lines.end(), marker->series());
    return found == lines.end() ? -1 : int(found - lines.begin());
}

void RunChart::setSeriesVisible(int series, bool visible)
{
    if (series < 0 || series >= PointStore::Series)
        return;
    QLineSeries *line = lines[size_t(series)];
    line->setVisible(visible);
    if (series == CsvFormat::Converter)
        converterAxis->setVisible(visible);
    // A hidden series takes its legend entry along; the entry stays, greyed.
    for (QLegendMarker *marker : owned->legend()->markers(line)) {
        marker->setVisible(true);
        QColor colour = marker->labelBrush().color();
        colour.setAlphaF(visible ? 1.0 : 0.4);
        marker->setLabelBrush(colour);
        QBrush brush = marker->brush();
        QColor fill = brush.color();
        fill.setAlphaF(visible ? 1.0 : 0.4);
        brush.setColor(fill);
        marker->setBrush(brush);
    }
}

void RunChart::draw(const MinMaxDecimator &decimator, const PointStore &points)
{
    // A hidden series is brought up to date when it is shown again.
    for (int s = 0; s < PointStore::Series; ++s) {
        if (lines[size_t(s)]->isVisible())
            lines[size_t(s)]->replace(decimator.points(s));
    }
    updateAxes(points);
}

void RunChart::updateAxes(const PointStore &points)
{
    if (points.isEmpty()) {
        const QDateTime now = QDateTime::currentDateTime();
        timeAxis->setRange(now, now.addSecs(60));
        timeAxis->setFormat(QStringLiteral("hh:mm:ss"));
        valueAxis->setRange(0, 100);
        currentAxis->setRange(4, 20);
        converterAxis->setRange(0, 1);
        return;
    }
    const qint64 first = points.time(0);
    const qint64 last = qMax(points.time(points.size() - 1), first + 1000);
    timeAxis->setFormat(last - first < 24 * 3600 * 1000 ? QStringLiteral("hh:mm:ss")
                                                        : QStringLiteral("dd.MM hh:mm"));
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));

    double low = NAN;
    double high = NAN;
    for (int s = 0; s < PointStore::Series; ++s) {
        if (s == CsvFormat::Current || s == CsvFormat::Converter || !lines[size_t(s)]->isVisible())
            continue;
        low = std::fmin(low, double(points.minimum(s)));
        high = std::fmax(high, double(points.maximum(s)));
    }
    setRange(valueAxis, padded(low, high));
    setRange(currentAxis,
             padded(points.minimum(CsvFormat::Current), points.maximum(CsvFormat::Current)));
    setRange(converterAxis,
             padded(points.minimum(CsvFormat::Converter), points.maximum(CsvFormat::Converter)));
}

void RunChart::render(const RunChart &other, const MinMaxDecimator &decimator,
                      const PointStore &points, QPainter &painter, const QRectF &target,
                      const QSizeF &size)
{
    QGraphicsScene scene; // owns the copy's chart
    RunChart copy;
    scene.addItem(copy.owned);
    copy.owned->setTitle(other.owned->title());
    for (int s = 0; s < PointStore::Series; ++s)
        copy.setSeriesVisible(s, other.lines[size_t(s)]->isVisible());
    copy.draw(decimator, points);
    copy.owned->resize(size);
    copy.owned->layout()->activate();
    scene.render(&painter, target, QRectF(QPointF(), size));
}
