#include "calibration/steadyreadings.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <numeric>

SteadyReadings::SteadyReadings(int count, double spread) : count(std::max(2, count)), spread(spread)
{
}

void SteadyReadings::add(double value, double companion)
{
    values.append(value);
    companions.append(companion);
    while (values.size() > count) {
        values.removeFirst();
        companions.removeFirst();
    }
}

void SteadyReadings::clear()
{
    values.clear();
    companions.clear();
}

bool SteadyReadings::steady() const
{
    return values.size() == count && spreadNow() <= spread + 1e-9;
}

double SteadyReadings::spreadNow() const
{
    if (values.size() < 2)
        return 0;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return *high - *low;
}

static double meanOf(const QList<double> &list)
{
    return list.isEmpty() ? 0 : std::accumulate(list.begin(), list.end(), 0.0) / list.size();
}

double SteadyReadings::mean() const
{
    return meanOf(values);
}

double SteadyReadings::companionMean() const
{
    return meanOf(companions);
}

std::optional<double> parseReading(const QString &text)
{
    QString number = text.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}
