#include "app/mainwindow.h"

#include "app/userfile.h"
#include "calibration/calibrationsettings.h"
#include "calibration/certificate.h"
#include "calibration/certificatedialog.h"
#include "calibration/correctionwizarddialog.h"
#include "calibration/looptestdialog.h"
#include "session/devicesession.h"
#include "ui_mainwindow.h"

#include <QMessageBox>

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

// Read each time: another program on this PC may have changed them. A file
// that cannot be read leaves the defaults, and says so.
CalibrationSettings MainWindow::calibrationDefaults()
{
    CalibrationSettings settings;
    QString why;
    if (!settings.load(&why))
        QMessageBox::warning(this, QStringLiteral("Калибровка"),
                             QStringLiteral("Не удалось прочитать %1\n%2\nДействуют значения "
                                            "по умолчанию.")
                                 .arg(UserFile::shownPath(settings.path), why));
    return settings;
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
    dialog->useDefaults(calibrationDefaults());
    openCalibrationDialog(dialog);
    dialog->start();
}

void MainWindow::on_loopTest_triggered()
{
    if (calibrationDialog || !session->isOpen())
        return;
    auto *dialog = new LoopTestDialog(session, this);
    dialog->useDefaults(calibrationDefaults());
    openCalibrationDialog(dialog);
}

void MainWindow::on_calibrationCertificate_triggered()
{
    if (calibrationDialog || !session->isOpen())
        return;
    CertificateData draft;
    draft.program = Certificate::programText();
    draft.device = session->description();
    draft.correction = session->correctionResult();
    draft.loop = session->loopTestResult();
    const CalibrationSettings settings = calibrationDefaults();
    draft.productLine = settings.productLine;
    openCalibrationDialog(new CertificateDialog(draft, settings, this));
}
