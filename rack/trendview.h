#pragma once

#include <QPointF>
#include <QVector>
#include <QWidget>

// A small line of a value over time, scaled to fit: enough to see a drift or
// a jump at a glance. Values that are no number leave a gap.
class TrendView : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    void setPoints(const QVector<QPointF> &points);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVector<QPointF> shown;
};
