#include "app/mainwindow.h"

#include "calibration/correctionwizarddialog.h"
#include "calibration/looptestdialog.h"
#include "session/devicesession.h"
#include "ui_mainwindow.h"

// The calibration dialogs hold the session's line while they work: one at a
// time, over this window, which waits for them.

void MainWindow::updateCalibrationEnabled()
{
    const bool free = session->isOpen() && !session->isRunning() && !session->isWriteVerifying() &&
                      !session->isInProcedure() && !calibrationDialog;
    ui->correctionWizard->setEnabled(free);
    ui->loopTest->setEnabled(free);
    ui->calibrationCertificate->setEnabled(free);
}

void MainWindow::openCalibrationDialog(QDialog *dialog)
{
    calibrationDialog = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QObject::destroyed, this, [this] {
        calibrationDialog = nullptr;
        updateCalibrationEnabled();
    });
    dialog->show();
    updateCalibrationEnabled();
}

void MainWindow::on_correctionWizard_triggered()
{
    if (calibrationDialog || !session->isOpen())
        return;
    auto *dialog = new CorrectionWizardDialog(session, catalogue, this);
    openCalibrationDialog(dialog);
    dialog->start();
}

void MainWindow::on_loopTest_triggered()
{
    if (calibrationDialog || !session->isOpen())
        return;
    openCalibrationDialog(new LoopTestDialog(session, this));
}

void MainWindow::on_calibrationCertificate_triggered() {}
