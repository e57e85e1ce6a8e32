#include "calibration/correctionwizard.h"

#include "catalogue/sensorcatalogue.h"
#include "device/devicewords.h"
#include "device/replies.h"
#include "session/devicesession.h"
#include "testlog/csvformat.h"

#include <algorithm>
#include <cmath>

CorrectionWizard::CorrectionWizard(DeviceSession *session, const SensorCatalogue &catalogue,
                                   QObject *parent)
    : CalibrationProcedure(session, name(), parent), catalogue(catalogue)
{
    for (int i = 0; i < Points; ++i)
        taken.points.append(CorrectionPointResult{});
    connect(this, &CalibrationProcedure::stopped, this, [this] {
        current = Phase::Stopped;
        point = -1;
        readings.reset();
        emit changed();
    });
}

void CorrectionWizard::setSettings(const Settings &settings)
{
    chosen = settings;
    taken.tolerance = settings.tolerance;
}

bool CorrectionWizard::start(QString *whyNot)
{
    return begin(whyNot);
}

void CorrectionWizard::ready()
{
    current = Phase::AsFound;
    emit status(
        QStringLiteral("Как найдено: подайте опорное значение первой точки и введите его."));
    emit changed();
}

QString CorrectionWizard::where() const
{
    const QString stage = current == Phase::AsLeft    ? QStringLiteral("как оставлено")
                          : current == Phase::Writing ? QStringLiteral("запись точек")
                                                      : QStringLiteral("как найдено");
    if (point >= 0)
        return QStringLiteral("точка %1, %2").arg(point + 1).arg(stage);
    return stage;
}

bool CorrectionWizard::allMeasured() const
{
    return std::all_of(std::begin(hasMeasured), std::end(hasMeasured), [](bool b) { return b; });
}

bool CorrectionWizard::allLeft() const
{
    return std::all_of(taken.points.begin(), taken.points.end(),
                       [](const CorrectionPointResult &p) { return p.asLeft.has_value(); });
}

// A reference the sensing element cannot measure, or one another point has
// already: the device's correction needs five different points.
std::optional<QString> CorrectionWizard::referenceRefusal(int index, double reference) const
{
    if (const std::optional<Device::ProbeTypeReply> &probe = session->record().probe) {
        const int position = catalogue.decodePosition(probe->kindByte, probe->code);
        if (const std::optional<RangeLimits> limits =
                catalogue.limits(probe->kind(), position >= 0 ? position : -1)) {
            if (reference < limits->lower || reference > limits->upper)
                return QStringLiteral("Опорное значение %1 °C вне пределов чувствительного "
                                      "элемента (%2 … %3 °C).")
                    .arg(CsvFormat::valueText(reference), CsvFormat::valueText(limits->lower),
                         CsvFormat::valueText(limits->upper));
        }
    }
    for (int other = 0; other < Points; ++other)
        if (other != index && hasMeasured[other] &&
            std::fabs(taken.points[other].reference - reference) < 0.001)
            return QStringLiteral("Опорное значение %1 °C уже взято в точке %2.")
                .arg(CsvFormat::valueText(reference))
                .arg(other + 1);
    return std::nullopt;
}

bool CorrectionWizard::measure(int index, const QString &referenceText, QString *whyNot)
{
    if (index < 0 || index >= Points || point >= 0 ||
        (current != Phase::AsFound && current != Phase::AsLeft))
        return false;
    double reference = taken.points[index].reference;
    if (current == Phase::AsFound) {
        const std::optional<double> typed = parseReading(referenceText);
        if (!typed) {
            *whyNot = QStringLiteral("Введите опорное значение числом, например 25.0.");
            return false;
        }
        if (const std::optional<QString> refusal = referenceRefusal(index, *typed)) {
            *whyNot = *refusal;
            return false;
        }
        reference = *typed;
        hasMeasured[index] = false;
        taken.points[index] = CorrectionPointResult{};
        taken.points[index].reference = reference;
    } else {
        taken.points[index].asLeft.reset();
    }
    point = index;
    readings.emplace(chosen.steadyCount, chosen.steadySpread);
    pointClock.start();
    journal(QStringLiteral("точка %1 (%2): опорное %3 °C, ждём стабилизации")
                .arg(index + 1)
                .arg(current == Phase::AsFound ? QStringLiteral("как найдено")
                                               : QStringLiteral("как оставлено"),
                     CsvFormat::valueText(reference)));
    readLiveValuesEvery(chosen.intervalMs);
    emit changed();
    return true;
}

// Steadiness is judged on the measured value (value 3): the correction cannot
// hide an unsteady input. The corrected value (value 2) is what the device
// outputs, found or left.
void CorrectionWizard::takeLiveValues(const QList<double> &values)
{
    if (point < 0 || !readings || values.size() < 3)
        return;
    readings->add(values.at(2), values.at(1));
    const int secondsLeft =
        std::max<qint64>(0, (chosen.timeoutMs - pointClock.elapsed() + 999) / 1000);
    emit waiting(point, readings->size(), readings->needed(), readings->spreadNow(), secondsLeft);
    if (readings->steady())
        pointTaken();
    else if (pointClock.elapsed() >= chosen.timeoutMs)
        pointTimedOut();
}

void CorrectionWizard::pointTaken()
{
    stopReading();
    CorrectionPointResult &result = taken.points[point];
    QString text;
    if (current == Phase::AsFound) {
        result.measured = readings->mean();
        result.asFound = readings->companionMean();
        hasMeasured[point] = true;
        text =
            QStringLiteral("точка %1: опорное %2 °C, измерено %3 °C, как найдено %4 °C")
                .arg(point + 1)
                .arg(CsvFormat::valueText(result.reference), CsvFormat::valueText(result.measured),
                     CsvFormat::valueText(*result.asFound));
    } else {
        result.asLeft = readings->companionMean();
        text =
            QStringLiteral("точка %1: опорное %2 °C, как оставлено %3 °C")
                .arg(point + 1)
                .arg(CsvFormat::valueText(result.reference), CsvFormat::valueText(*result.asLeft));
    }
    journal(text);
    emit status(QStringLiteral("Точка %1 взята.").arg(point + 1));
    const int index = point;
    point = -1;
    readings.reset();
    emit changed();
    emit pointDone(index);
}

void CorrectionWizard::pointTimedOut()
{
    stopReading();
    const QString text =
        QStringLiteral("Точка %1: показания не установились за %2 с (разброс %3 °C, допустимо "
                       "%4 °C). Точка не взята, ничего не записано.")
            .arg(point + 1)
            .arg(chosen.timeoutMs / 1000)
            .arg(CsvFormat::valueText(readings->spreadNow()),
                 CsvFormat::valueText(chosen.steadySpread));
    journal(text);
    if (current == Phase::AsFound)
        hasMeasured[point] = false;
    point = -1;
    readings.reset();
    emit status(text);
    emit changed();
}

bool CorrectionWizard::write(QString *whyNot)
{
    if (current != Phase::AsFound || point >= 0)
        return false;
    if (!allMeasured()) {
        *whyNot = QStringLiteral("Сначала возьмите все %1 точек.").arg(Points);
        return false;
    }
    Device::CorrectionPoints points;
    for (int i = 0; i < Points; ++i) {
        points.reference[size_t(i)] = taken.points[i].reference;
        points.measured[size_t(i)] = taken.points[i].measured;
    }
    points.enabled = true;
    current = Phase::Writing;
    emit status(QStringLiteral("Запись точек коррекции…"));
    emit changed();
    send(Device::writeRefAndMeas(points), QStringLiteral("Запись точек коррекции"),
         [this, points](const QByteArray &) {
             send(Device::readRequest(Device::Command::RefAndMeas),
                  QStringLiteral("Проверка записанных точек"),
                  [this, points](const QByteArray &data) { verify(points, data); });
         });
    return true;
}

void CorrectionWizard::verify(const Device::CorrectionPoints &sent, const QByteArray &data)
{
    const QStringList differences =
        DeviceWords::differences(DeviceWords::correctionFields(sent),
                                 DeviceWords::correctionFields(Device::decodeRefAndMeas(data)));
    if (!differences.isEmpty()) {
        stop(QStringLiteral("Точки коррекции прочитаны не такими, как записаны: %1.")
                 .arg(differences.join(QStringLiteral("; "))));
        return;
    }
    taken.verified = true;
    journal(QStringLiteral("точки коррекции записаны и проверены"));
    current = Phase::AsLeft;
    emit status(QStringLiteral("Точки записаны и проверены. Как оставлено: подайте опорное "
                               "значение каждой точки снова."));
    emit changed();
}

bool CorrectionWizard::accept(QString *whyNot)
{
    if (current != Phase::AsLeft || point >= 0)
        return false;
    if (!allLeft()) {
        *whyNot = QStringLiteral("Сначала возьмите все %1 точек как оставлено.").arg(Points);
        return false;
    }
    taken.finished = QDateTime::currentDateTime();
    session->setCorrectionResult(taken);
    double largest = 0;
    for (const CorrectionPointResult &p : taken.points)
        largest = std::max(largest, std::fabs(*p.asLeftError()));
    journal(
        QStringLiteral("принято: как найдено %1, как оставлено %2 (наибольшая погрешность "
                       "%3 °C, допуск %4 °C)")
            .arg(taken.asFoundPassed() ? QStringLiteral("в допуске")
                                       : QStringLiteral("вне допуска"),
                 taken.asLeftPassed() ? QStringLiteral("в допуске") : QStringLiteral("вне допуска"),
                 CsvFormat::valueText(largest), CsvFormat::valueText(taken.tolerance)));
    current = Phase::Done;
    finish();
    emit changed();
    emit finished(true);
    return true;
}

void CorrectionWizard::cancel()
{
    if (!isActive())
        return;
    if (current == Phase::AsLeft)
        journal(QStringLiteral("отменено: точки коррекции записаны, проверка как оставлено не "
                               "завершена"));
    else if (current == Phase::Writing)
        journal(QStringLiteral("отменено во время записи: запись точек не подтверждена"));
    else
        journal(QStringLiteral("отменено, ничего не записано"));
    current = Phase::Stopped;
    point = -1;
    finish();
    emit changed();
    emit finished(false);
}
