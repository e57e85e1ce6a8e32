#include "app/mainwindow.h"

#include "device/requests.h"
#include "link/serialworker.h"
#include "ui_mainwindow.h"

// Periodic reading of the live values: "Старт"/"Стоп" on the Data tab poll
// every 3000 ms, a test run polls every 2000 ms; both timers run this one request.

namespace {
constexpr int DataTab = 0;
} // namespace

// Both timers send this request, and their ticks meet every few seconds. A
// request sent while the answer to the one before is on its way makes the
// worker drop that answer, and two sent at once come back as one reply, so a
// row is lost either way. A request due meanwhile waits for the answer, or
// for as long as an answer takes, and goes right after it.
void MainWindow::runCommandOne()
{
    if (!serialPort.isOpen())
        return;
    if (replyWindow.isActive()) {
        liveValuesDue = true;
        return;
    }
    worker->sendPackage(Device::readRequest(Device::Command::LiveValues));
}

void MainWindow::sendDueLiveValues()
{
    replyWindow.stop();
    if (!liveValuesDue)
        return;
    liveValuesDue = false;
    if (pollTimer.isActive() || testTimer.isActive())
        runCommandOne();
}

void MainWindow::on_startButton_clicked()
{
    if (!serialPort.isOpen())
        return;
    runCommandOne();
    pollTimer.start(); // restarts the interval when already running
    ui->startButton->setEnabled(false);
    ui->stopButton->setEnabled(true);
}

void MainWindow::on_stopButton_clicked()
{
    pollTimer.stop();
    ui->startButton->setEnabled(true);
    ui->stopButton->setEnabled(false);
}

// Leaving the Data tab ends polling, and any tab but the Data tab ends a test
// run; coming back to the Data tab leaves both stopped, ready for "Старт".
void MainWindow::on_tabWidget_currentChanged(int index)
{
    if (index == DataTab) {
        ui->startButton->setEnabled(serialPort.isOpen());
    } else {
        endTestRun();
        pollTimer.stop();
    }
    ui->pushButtonStopTesting->setEnabled(false);
    ui->stopButton->setEnabled(false);
}
