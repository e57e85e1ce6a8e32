#pragma once

#include <QDialog>

class CorrectionWizard;
class DeviceSession;
class SensorCatalogue;

struct CalibrationSettings;

namespace Ui {
class CorrectionWizardDialog;
}

// The view of a CorrectionWizard: the five points as found and as left, the
// reference typed for the point chosen, the live values while a point
// settles. Closing it cancels what has not been accepted.
class CorrectionWizardDialog : public QDialog
{
    Q_OBJECT
public:
    CorrectionWizardDialog(DeviceSession *session, const SensorCatalogue &catalogue,
                           QWidget *parent = nullptr);
    ~CorrectionWizardDialog() override;
    // The steadiness and tolerance the boxes start with.
    void useDefaults(const CalibrationSettings &defaults);

    CorrectionWizard *wizard() const { return correction; }
    // Takes the line and reads the device; the dialog says if it cannot.
    void start();

public slots:
    void reject() override;

private slots:
    void on_correctionMeasure_clicked();
    void on_correctionWrite_clicked();
    void on_correctionAccept_clicked();
    void on_correctionCancel_clicked();

private:
    void showState();
    void showPoints();
    void showWaiting(int index, int readings, int needed, double spread, int secondsLeft);
    void showLive(const QList<double> &values);
    void applySettings();
    void tell(const QString &text);

    Ui::CorrectionWizardDialog *ui;
    DeviceSession *session;
    CorrectionWizard *correction;
};
