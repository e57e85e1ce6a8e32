#pragma once

#include "calibration/calibrationprocedure.h"
#include "calibration/calibrationrecord.h"
#include "calibration/steadyreadings.h"
#include "device/requests.h"

#include <QElapsedTimer>

#include <optional>

class SensorCatalogue;

// "Мастер коррекции": at each of the device's five correction points the
// engineer applies a reference and types its value; the wizard waits for the
// measured value (before correction) to settle and takes its mean, with the
// corrected value the device gives as found. Then it writes the five
// measured → reference pairs with the correction on, reads them back, and at
// each point again takes the corrected value as left. Nothing is written
// before write(); accept() keeps the result for the certificate.
class CorrectionWizard : public CalibrationProcedure
{
    Q_OBJECT
public:
    static constexpr int Points = 5;
    enum class Phase { Reading, AsFound, Writing, AsLeft, Done, Stopped };
    struct Settings
    {
        int steadyCount = 10;
        double steadySpread = 0.05; // °C
        int intervalMs = 1000;
        int timeoutMs = 120000;
        double tolerance = 0.1; // °C
    };

    static QString name() { return QStringLiteral("Мастер коррекции"); }

    CorrectionWizard(DeviceSession *session, const SensorCatalogue &catalogue,
                     QObject *parent = nullptr);

    void setSettings(const Settings &settings);
    const Settings &settings() const { return chosen; }
    bool start(QString *whyNot);

    Phase phase() const { return current; }
    // The point being measured, -1 when none.
    int measuring() const { return point; }
    const CorrectionResult &result() const { return taken; }
    bool measured(int index) const { return hasMeasured[index]; }
    bool allMeasured() const;
    bool allLeft() const;

    // As found: the reference typed for the point; as left, the point's own.
    bool measure(int index, const QString &referenceText, QString *whyNot);
    bool write(QString *whyNot);
    bool accept(QString *whyNot);
    void cancel();

signals:
    void changed();
    // Readings taken of the point so far, their spread, and the seconds left.
    void waiting(int index, int readings, int needed, double spread, int secondsLeft);
    void pointDone(int index);
    void finished(bool accepted);

protected:
    void ready() override;
    QString where() const override;
    void takeLiveValues(const QList<double> &values) override;

private:
    std::optional<QString> referenceRefusal(int index, double reference) const;
    void pointTaken();
    void pointTimedOut();
    void verify(const Device::CorrectionPoints &sent, const QByteArray &data);

    const SensorCatalogue &catalogue;
    Settings chosen;
    Phase current = Phase::Reading;
    int point = -1;
    std::optional<SteadyReadings> readings;
    QElapsedTimer pointClock;
    CorrectionResult taken;
    bool hasMeasured[Points] = {};
};
