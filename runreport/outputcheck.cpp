#include "runreport/outputcheck.h"

#include "testlog/csvformat.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

constexpr double LowestCurrent = 3.8;
constexpr double HighestCurrent = 20.5;

} // namespace

double OutputCheck::idealCurrent(double corrected, const Range &range)
{
    const double current = 4.0 + SpanMa * (corrected - range.lower) / (range.upper - range.lower);
    return std::clamp(current, LowestCurrent, HighestCurrent);
}

OutputCheck OutputCheck::of(const PointStore &points, const std::optional<Range> &range,
                            double tolerance)
{
    OutputCheck check;
    check.tolerance = tolerance;
    if (!range)
        return check;
    // Not a number compares false: a range of NaN has no span either.
    if (!(range->upper - range->lower > 0)) {
        check.outcome = Outcome::EmptySpan;
        return check;
    }
    double sum = 0;
    for (int row = 0; row < points.size(); ++row) {
        const double corrected = points.value(row, CsvFormat::Corrected);
        const double current = points.value(row, CsvFormat::Current);
        if (!std::isfinite(corrected) || !std::isfinite(current)) {
            ++check.rowsSkipped;
            continue;
        }
        const double deviation = (current - idealCurrent(corrected, *range)) / SpanMa * 100.0;
        if (check.rowsChecked == 0 || std::abs(deviation) > std::abs(check.largest)) {
            check.largest = deviation;
            check.largestAt = points.time(row);
        }
        sum += deviation;
        check.lowestMa = check.rowsChecked == 0 ? current : std::min(check.lowestMa, current);
        check.highestMa = check.rowsChecked == 0 ? current : std::max(check.highestMa, current);
        ++check.rowsChecked;
    }
    if (check.rowsChecked == 0) {
        check.outcome = Outcome::NoRows;
        return check;
    }
    check.mean = sum / check.rowsChecked;
    check.outcome = std::abs(check.largest) <= tolerance ? Outcome::Passed : Outcome::Failed;
    return check;
}

QString OutputCheck::coveredText() const
{
    if (!computed())
        return {};
    const QLocale c = QLocale::c();
    return QStringLiteral("проверено %1 … %2 мА, %3 % диапазона")
        .arg(c.toString(lowestMa, 'f', 2), c.toString(highestMa, 'f', 2),
             c.toString((highestMa - lowestMa) / SpanMa * 100.0, 'f', 1));
}

QString OutputCheck::verdict() const
{
    switch (outcome) {
    case Outcome::Passed:
        return QStringLiteral("Годен");
    case Outcome::Failed:
        return QStringLiteral("Не годен");
    case Outcome::NoRange:
        return QStringLiteral("Проверка не выполнена: диапазон прибора не записан при старте "
                              "испытания");
    case Outcome::EmptySpan:
        return QStringLiteral("Проверка не выполнена: верхний предел диапазона не больше "
                              "нижнего");
    case Outcome::NoRows:
        return QStringLiteral("Проверка не выполнена: нет строк с корректированным значением "
                              "и током");
    }
    return {};
}
