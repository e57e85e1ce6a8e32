#include "app/mainwindow.h"

#include "session/devicesession.h"
#include "testlog/logtable.h"
#include "testlog/testrun.h"
#include "ui_mainwindow.h"

#include <QFileInfo>

// Test runs: the session records every LiveValues reply of a run in its file;
// the Testing tab shows each row once the file holds it.

namespace {

QString fileNameOf(const TestRun &run)
{
    return QFileInfo(run.fileName()).fileName();
}

QString unknownDevice(const DeviceSession &session)
{
    return session.runDeviceUnknown() ? QStringLiteral(", прибор не опознан") : QString();
}

} // namespace

void MainWindow::on_pushButtonStartTesting_clicked()
{
    if (!session->isOpen())
        return;
    // The table keeps whatever sort it has: the new rows take the places it
    // gives them and the newest one is scrolled into view.
    QString failure;
    if (!session->startRun(&failure)) {
        showInformation(QStringLiteral("Внимание!"), failure);
        return;
    }
    ui->pushButtonStartTesting->setEnabled(false);
    ui->pushButtonStopTesting->setEnabled(true);
    showRunState();
    ui->writeAndVerify->setEnabled(false);
    updateLiveValuesState();
}

void MainWindow::on_pushButtonStopTesting_clicked()
{
    session->endRun(RunEnd::Stop);
    ui->pushButtonStartTesting->setEnabled(session->isOpen());
    ui->pushButtonStopTesting->setEnabled(false);
}

void MainWindow::showRowLogged(const QDateTime &time, const QList<double> &values)
{
    LogTable::appendRow(ui->table, time, values);
    showRunState();
    emit testRowLogged(time, values);
}

void MainWindow::showRunState()
{
    ui->runNoSettingsHint->setVisible(session->isRunning() && session->runWithoutSettings());
    if (!session->isRunning())
        return;
    ui->testRunState->setText(QStringLiteral("Идёт испытание: %1, строк: %2%3")
                                  .arg(fileNameOf(session->run()))
                                  .arg(session->run().rows())
                                  .arg(unknownDevice(*session)));
}

void MainWindow::showRunEnded(const QString &causeText)
{
    ui->testRunState->setText(QStringLiteral("Испытание завершено (%1): %2, строк: %3%4")
                                  .arg(causeText, fileNameOf(session->run()))
                                  .arg(session->run().rows())
                                  .arg(unknownDevice(*session)));
    ui->runNoSettingsHint->hide();
    updateLiveValuesState();
}

// A run that ended by anything but the user's "Стоп" says so in a box, with
// its file and the rows it holds.
void MainWindow::tellRunEnded(const QString &why)
{
    showInformation(QStringLiteral("Испытание завершено"),
                    QStringLiteral("%1\nФайл: %2\nЗаписано строк: %3")
                        .arg(why, session->run().shownFileName())
                        .arg(session->run().rows()));
}
