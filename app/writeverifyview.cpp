#include "app/mainwindow.h"

#include "config/writereference.h"
#include "config/writeverify.h"
#include "session/devicesession.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QTimer>

// "Инструменты" → "Записать и проверить" writes the reference, what the user
// chose to write: the last file loaded with the user's edits since, or the
// values the user set in the window. What the device answers fills the
// controls but never changes it, so a retry after a mismatch finds the same
// difference. The tabs wait while it runs, so that no other request cuts in.

void MainWindow::userEdited()
{
    if (fillingControls > 0)
        return;
    const std::optional<WriteReference> &reference = session->reference();
    if (reference && !reference->fileName.isEmpty())
        takeReferenceFromWindow(reference->fileName, true);
    else
        takeReferenceFromWindow(QString(), false);
}

void MainWindow::takeReferenceFromWindow(const QString &fileName, bool edited)
{
    WriteReference reference;
    reference.settings = shownProbeType();
    reference.correction = shownCorrectionPoints();
    reference.writable = bool(
        catalogue.encode(ui->comboGradType->currentIndex(), ui->comboGradName->currentIndex()));
    reference.fileName = fileName;
    reference.edited = edited;
    session->setReference(reference);
}

// To clone a transmitter just read: what the window shows is what is written.
void MainWindow::on_referenceFromWindow_triggered()
{
    takeReferenceFromWindow(QString(), false);
}

void MainWindow::showReference()
{
    const std::optional<WriteReference> &reference = session->reference();
    referenceLabel.setText(reference ? reference->label() : WriteReference::noneLabel());
}

void MainWindow::updateWriteAndVerifyEnabled()
{
    ui->writeAndVerify->setEnabled(session->isOpen() && !session->isRunning() &&
                                   !session->isWriteVerifying() && !session->isInProcedure());
    updateCalibrationEnabled();
}

void MainWindow::on_writeAndVerify_triggered()
{
    if (!session->isOpen() || session->isRunning() || session->isWriteVerifying())
        return;
    QString refusal;
    if (!session->writeAndVerify(&refusal) && !refusal.isEmpty())
        showInformation(WriteVerify::title(), refusal);
}

// The box opens from the event loop: the outcome may come from inside the
// closing of the connection.
void MainWindow::showWriteVerifyOutcome(const QString &outcome, bool verified, bool resumePolling)
{
    ui->tabWidget->setEnabled(true);
    updateWriteAndVerifyEnabled();
    if (resumePolling && session->isOpen() && ui->tabWidget->currentIndex() == 0)
        on_startButton_clicked();
    const std::optional<WriteReference> &reference = session->reference();
    const QString referenceText = reference ? reference->label() : WriteReference::noneLabel();
    QTimer::singleShot(0, this, [this, outcome, verified, referenceText] {
        QMessageBox box(verified ? QMessageBox::Information : QMessageBox::Warning,
                        WriteVerify::title(), outcome, QMessageBox::Ok, this);
        box.setInformativeText(referenceText);
        execHoldingReplies(box);
    });
}
