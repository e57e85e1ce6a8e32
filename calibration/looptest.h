#pragma once

#include "calibration/calibrationprocedure.h"
#include "calibration/calibrationrecord.h"

// "Проверка токовой петли": the output is fixed at 4, 8, 12, 16 and 20 mA in
// turn and the engineer types what the meter in the loop shows at each. At the
// end, on cancel and when asked after a lost line, the output is released by
// fixing it at 0 mA (the firmware's "back to measuring"), and three live
// readings tell whether the current the device reports follows its measured
// temperature again.
class LoopTest : public CalibrationProcedure
{
    Q_OBJECT
public:
    enum class Phase { Reading, Setting, Meter, Releasing, Checking, Done, Stopped };
    static QList<double> steps() { return {4.0, 8.0, 12.0, 16.0, 20.0}; }
    static QString name() { return QStringLiteral("Проверка токовой петли"); }
    // How far (% of span) the reported current may be from the one the
    // temperature calls for and still count as following it: a fixed output
    // stays where it was set, far from it; the accuracy is the steps' matter.
    static constexpr double FollowsWithinPercent = 1.0;
    static constexpr int ReleaseReadings = 3;

    explicit LoopTest(DeviceSession *session, QObject *parent = nullptr);

    void setTolerance(double percent) { taken.tolerancePercent = percent; }
    void setReadingInterval(int ms) { intervalMs = ms; }
    bool start(QString *whyNot);
    bool takeMeterReading(const QString &text, QString *whyNot);
    // Releases the output and finishes without a result.
    void cancel();
    // After a stop that may have left the output fixed; opens the line again
    // if it has gone.
    bool release(QString *whyNot);

    Phase phase() const { return current; }
    int step() const { return stepIndex; }
    const LoopTestResult &result() const { return taken; }
    // A stop may have left the output fixed.
    bool outputMayBeFixed() const { return mayBeFixed; }

signals:
    void changed();
    void finished(bool completed);

protected:
    void ready() override;
    QString where() const override;
    void lineLost() override;
    void takeLiveValues(const QList<double> &values) override;

private:
    void setStep(int index);
    void releaseOutput();
    void released(bool follows);

    Phase current = Phase::Reading;
    int stepIndex = -1;
    int intervalMs = 1000;
    QString port;
    bool cancelWanted = false; // asked for while a step's current was being set
    bool completing = false;   // the steps are done: the release ends with a result
    bool releaseOnly = false;
    bool mayBeFixed = false;
    int readingsChecked = 0;
    bool following = true;
    LoopTestResult taken;
};
