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
    sessionErrorShown = false;
    ui->startButton->setEnabled(false);
    ui->stopButton->setEnabled(true);
    updateLiveValuesState();
}

void MainWindow::on_stopButton_clicked()
{
    pollTimer.stop();
    ui->startButton->setEnabled(true);
    ui->stopButton->setEnabled(false);
    updateLiveValuesState();
}

// Leaving the Data tab ends polling, and any tab but the Data tab ends a test
// run: the other tabs send their own requests, and a reply cannot be told from
// the run's. Coming back to the Data tab leaves both stopped, ready for
// "Старт". A run ended this way says so at once, in a box over the tab chosen.
void MainWindow::on_tabWidget_currentChanged(int index)
{
    if (index == DataTab) {
        ui->startButton->setEnabled(serialPort.isOpen());
    } else {
        const bool runEnds = testRunning;
        const QString tabName = ui->tabWidget->tabText(index);
        endTestRun(RunEnd::OtherTab, tabName);
        pollTimer.stop();
        updateLiveValuesState();
        if (runEnds)
            tellRunEnded(QStringLiteral("Испытание завершено: %1.")
                             .arg(runEndText(RunEnd::OtherTab, tabName)));
    }
    ui->pushButtonStopTesting->setEnabled(false);
    ui->stopButton->setEnabled(false);
}

// The Data tab's values are live only while polling feeds them; during a run
// the replies go to the run instead.
void MainWindow::updateLiveValuesState()
{
    const bool live = pollTimer.isActive() && !testRunning;
    const QString colour = live || liveValuesShownAt.isNull() ? QStringLiteral("color: black;")
                                                              : QStringLiteral("color: gray;");
    // Setting a style sheet restyles the box even when it is the same: not on every reply.
    for (QDoubleSpinBox *box : liveValueBoxes())
        if (box->styleSheet() != colour)
            box->setStyleSheet(colour);
    QString state;
    if (!live && !liveValuesShownAt.isNull())
        state = QStringLiteral("Значения не обновляются (%1). Последние получены в %2.")
                    .arg(testRunning ? QStringLiteral("идёт испытание")
                                     : QStringLiteral("опрос остановлен"),
                         liveValuesShownAt.toString(QStringLiteral("hh:mm:ss")));
    ui->liveValuesState->setText(state);
    ui->liveValuesState->setVisible(!state.isEmpty());
}
