#pragma once

// Qt 5 keeps the chart classes in a namespace of their own; Qt 6 does not.
// Every file of the chart window includes the chart headers through here.

#include <QtCharts/QChartGlobal>

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif
