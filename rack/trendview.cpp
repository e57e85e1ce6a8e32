#include "rack/trendview.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

void TrendView::setPoints(const QVector<QPointF> &points)
{
    shown = points;
    update();
}

void TrendView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    double left = 0, right = 0, low = 0, high = 0;
    bool any = false;
    for (const QPointF &p : shown) {
        if (!std::isfinite(p.y()))
            continue;
        if (!any) {
            left = right = p.x();
            low = high = p.y();
            any = true;
        }
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    if (!any)
        return;
    // A flat line sits in the middle rather than on an edge.
    if (high - low < 1e-9) {
        low -= 0.5;
        high += 0.5;
    }
    const QRectF area = QRectF(rect()).adjusted(3, 3, -3, -3);
    const double xSpan = std::max(right - left, 1.0);
    QPainterPath path;
    bool drawing = false;
    for (const QPointF &p : shown) {
        if (!std::isfinite(p.y())) {
            drawing = false;
            continue;
        }
        const QPointF at(area.left() + area.width() * (p.x() - left) / xSpan,
                         area.bottom() - area.height() * (p.y() - low) / (high - low));
        if (drawing)
            path.lineTo(at);
        else
            path.moveTo(at);
        drawing = true;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().highlight().color(), 1.5));
    painter.drawPath(path);
}
