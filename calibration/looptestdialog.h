#pragma once

#include <QDialog>

class DeviceSession;
class LoopTest;

struct CalibrationSettings;

namespace Ui {
class LoopTestDialog;
}

// The view of a LoopTest: the five steps with the meter's readings and their
// deviations, the verdict, and a way to release an output a stop may have
// left fixed. Closing it while the output is fixed releases it first.
class LoopTestDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LoopTestDialog(DeviceSession *session, QWidget *parent = nullptr);
    ~LoopTestDialog() override;
    // The tolerance the box starts with.
    void useDefaults(const CalibrationSettings &defaults);

    LoopTest *test() const { return loop; }

public slots:
    void reject() override;

private slots:
    void on_loopStart_clicked();
    void on_loopTake_clicked();
    void on_loopRelease_clicked();
    void on_loopCancel_clicked();
    void on_loopClose_clicked();

private:
    void showState();
    void showPoints();
    void finished(bool completed);

    Ui::LoopTestDialog *ui;
    DeviceSession *session;
    LoopTest *loop;
    bool closeWhenReleased = false;
};
