#include "calibration/looptest.h"

#include "calibration/steadyreadings.h"
#include "device/requests.h"
#include "runreport/outputcheck.h"
#include "session/devicesession.h"
#include "testlog/csvformat.h"

#include <cmath>

LoopTest::LoopTest(DeviceSession *session, QObject *parent)
    : CalibrationProcedure(session, name(), parent)
{
    connect(this, &CalibrationProcedure::stopped, this, [this] {
        current = Phase::Stopped;
        emit changed();
    });
}

bool LoopTest::start(QString *whyNot)
{
    port = session->portName();
    releaseOnly = false;
    cancelWanted = false;
    completing = false;
    taken.points.clear();
    return begin(whyNot);
}

// The dialog stands over the window, so the line is opened again from here.
bool LoopTest::release(QString *whyNot)
{
    if (isActive())
        return false;
    if (!session->isOpen() && !session->connectTo(port, whyNot)) {
        *whyNot = QStringLiteral("Порт %1 не открыт: %2").arg(port, *whyNot);
        return false;
    }
    releaseOnly = true;
    completing = false;
    return begin(whyNot);
}

void LoopTest::ready()
{
    if (releaseOnly)
        releaseOutput();
    else
        setStep(0);
}

QString LoopTest::where() const
{
    if (current == Phase::Releasing || current == Phase::Checking)
        return QStringLiteral("снятие заданного тока");
    if (stepIndex >= 0)
        return QStringLiteral("шаг %1 мА").arg(steps().value(stepIndex));
    return QStringLiteral("считывание прибора");
}

void LoopTest::setStep(int index)
{
    stepIndex = index;
    current = Phase::Setting;
    mayBeFixed = true;
    const double set = steps().at(index);
    emit status(QStringLiteral("Задаём %1 мА…").arg(set));
    emit changed();
    send(Device::fixedCurrent(set), QStringLiteral("Задать %1 мА").arg(set),
         [this, set](const QByteArray &) {
             if (cancelWanted) {
                 cancelWanted = false;
                 releaseOutput();
                 return;
             }
             current = Phase::Meter;
             emit status(
                 QStringLiteral("Выход задан: %1 мА. Введите показание миллиамперметра.").arg(set));
             emit changed();
         });
}

bool LoopTest::takeMeterReading(const QString &text, QString *whyNot)
{
    if (current != Phase::Meter)
        return false;
    const std::optional<double> reading = parseReading(text);
    if (!reading || *reading < 0 || *reading > 30) {
        *whyNot = QStringLiteral("Введите показание миллиамперметра в мА числом, например "
                                 "12.004.");
        return false;
    }
    LoopPointResult point;
    point.setMa = steps().at(stepIndex);
    point.meterMa = *reading;
    taken.points.append(point);
    journal(QStringLiteral("задано %1 мА, миллиамперметр %2 мА, отклонение %3 %")
                .arg(CsvFormat::valueText(point.setMa), CsvFormat::valueText(*reading),
                     CsvFormat::signedValueText(*point.deviationPercent())));
    if (stepIndex + 1 < steps().size()) {
        setStep(stepIndex + 1);
    } else {
        completing = true;
        releaseOutput();
    }
    return true;
}

void LoopTest::cancel()
{
    if (!isActive())
        return;
    if (current == Phase::Releasing || current == Phase::Checking || cancelWanted)
        return;
    journal(QStringLiteral("отменено"));
    completing = false;
    if (current == Phase::Setting) {
        cancelWanted = true; // released once the device has answered
        return;
    }
    if (mayBeFixed)
        releaseOutput();
    else
        finish();
    if (!isActive()) {
        current = Phase::Stopped;
        emit changed();
        emit finished(false);
    }
}

void LoopTest::releaseOutput()
{
    current = Phase::Releasing;
    emit status(QStringLiteral("Возвращаем выход к измерению…"));
    emit changed();
    send(Device::fixedCurrent(0.0), QStringLiteral("Снятие заданного тока"),
         [this](const QByteArray &) {
             current = Phase::Checking;
             readingsChecked = 0;
             following = true;
             emit status(QStringLiteral("Проверяем, что выход следует за температурой…"));
             emit changed();
             readLiveValuesEvery(intervalMs);
         });
}

// The output check of a run's report, on three readings.
void LoopTest::takeLiveValues(const QList<double> &values)
{
    if (current != Phase::Checking || values.size() < 5)
        return;
    const std::optional<Device::ProbeTypeReply> &probe = session->record().probe;
    bool follows = false;
    if (probe) {
        const double ideal =
            OutputCheck::idealCurrent(values.at(1), OutputCheck::Range{probe->lower, probe->upper});
        follows =
            std::fabs(values.at(4) - ideal) / OutputCheck::SpanMa * 100.0 <= FollowsWithinPercent;
    }
    following = following && follows;
    if (++readingsChecked >= ReleaseReadings) {
        stopReading();
        released(following);
    }
}

void LoopTest::released(bool follows)
{
    mayBeFixed = !follows;
    taken.released = follows;
    const QString outcome =
        follows ? QStringLiteral("выход возвращён к измерению: ток следует за температурой")
                : QStringLiteral("выход, возможно, остался заданным: ток не следует за "
                                 "температурой. Выключите и включите питание прибора.");
    if (completing) {
        taken.finished = QDateTime::currentDateTime();
        session->setLoopTestResult(taken);
        journal(QStringLiteral("%1 (допуск %2 % диапазона); %3")
                    .arg(taken.passed() ? QStringLiteral("годен") : QStringLiteral("не годен"),
                         CsvFormat::valueText(taken.tolerancePercent), outcome));
    } else {
        journal(outcome);
    }
    const bool completed = completing;
    current = completed ? Phase::Done : Phase::Stopped;
    completing = false;
    finish();
    emit status(follows ? QStringLiteral("Выход возвращён к измерению.")
                        : QStringLiteral("Выход, возможно, остался заданным: ток, который сообщает "
                                         "прибор, не следует за температурой. Выключите и "
                                         "включите питание прибора."));
    emit changed();
    emit finished(completed);
}

void LoopTest::lineLost()
{
    const bool fixed = mayBeFixed;
    stop(QStringLiteral("Связь с прибором потеряна (%1).%2")
             .arg(where(), fixed ? QStringLiteral(" Выход мог остаться заданным: после "
                                                  "восстановления связи снимите заданный ток.")
                                 : QString()));
    mayBeFixed = fixed;
}
