#include "plot/runsummary.h"

#include "testlog/csvformat.h"

#include <cmath>
#include <limits>

namespace {

double meanOf(const PointStore::Sum &sum)
{
    return sum.count > 0 ? sum.sum / double(sum.count) : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

RunSummary RunSummary::of(const PointStore &store, qint64 windowMs)
{
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    RunSummary summary;
    summary.rows = store.size();
    if (store.isEmpty()) {
        summary.values.fill({NaN, NaN, NaN, NaN});
        return summary;
    }
    const qint64 first = store.time(0);
    const qint64 last = store.time(store.size() - 1);
    summary.durationMs = last - first;
    const bool driftKnown = summary.durationMs >= windowMs;
    // First window: rows before first + window; last window: rows after last - window.
    const int firstEnd = store.lowerBound(first + windowMs);
    const int lastBegin = store.upperBound(last - windowMs);
    for (int s = 0; s < PointStore::Series; ++s) {
        Value &v = summary.values[size_t(s)];
        v.minimum = double(store.minimum(s));
        v.maximum = double(store.maximum(s));
        v.mean = meanOf(store.sum(s, 0, store.size()));
        v.drift = driftKnown ? meanOf(store.sum(s, lastBegin, store.size())) -
                                   meanOf(store.sum(s, 0, firstEnd))
                             : NaN;
    }
    return summary;
}

QString RunSummary::durationText(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
                              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    const qint64 days = seconds / 86400;
    return days > 0 ? QStringLiteral("%1 д %2").arg(days).arg(clock) : clock;
}

QString RunSummary::figureText(double value)
{
    return std::isnan(value) ? QStringLiteral("—") : CsvFormat::valueText(value);
}

QList<QStringList> RunSummary::table() const
{
    QList<QStringList> rows{{QString(), QStringLiteral("Минимум"), QStringLiteral("Максимум"),
                             QStringLiteral("Среднее"), QStringLiteral("Дрейф")}};
    for (int s = 0; s < PointStore::Series; ++s) {
        const Value &v = values[size_t(s)];
        // The file's header names the values; the current has its unit here.
        rows << QStringList{s == CsvFormat::Current ? QStringLiteral("Ток, мА")
                                                    : QString::fromUtf8(CsvFormat::HeaderNames[s]),
                            figureText(v.minimum), figureText(v.maximum), figureText(v.mean),
                            figureText(v.drift)};
    }
    return rows;
}
