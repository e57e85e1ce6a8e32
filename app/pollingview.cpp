#include "app/mainwindow.h"

#include "session/devicesession.h"
#include "ui_mainwindow.h"

// Periodic reading of the live values: "Старт"/"Стоп" on the Data tab.

namespace {
constexpr int DataTab = 0;
} // namespace

void MainWindow::runCommandOne()
{
    session->readLiveValues();
}

void MainWindow::on_startButton_clicked()
{
    session->startPolling();
}

void MainWindow::on_stopButton_clicked()
{
    session->stopPolling();
}

void MainWindow::showPollingState()
{
    const bool polling = session->isPolling();
    ui->startButton->setEnabled(session->isOpen() && !polling);
    ui->stopButton->setEnabled(polling);
    updateLiveValuesState();
}

// Leaving the Data tab ends polling, and any tab but the Data tab ends a test
// run: the other tabs send their own requests, and a reply cannot be told from
// the run's. Coming back to the Data tab leaves both stopped, ready for
// "Старт". A run ended this way says so at once, in a box over the tab chosen.
void MainWindow::on_tabWidget_currentChanged(int index)
{
    if (index == DataTab) {
        ui->startButton->setEnabled(session->isOpen());
    } else {
        const bool runEnds = session->isRunning();
        const QString tabName = ui->tabWidget->tabText(index);
        session->endRun(RunEnd::OtherTab, tabName);
        session->stopPolling();
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
    const bool running = session->isRunning();
    const bool polling = session->isPolling();
    const bool live = polling && !running && !session->liveValuesLate();
    const QString colour = live || liveValuesShownAt.isNull() ? QStringLiteral("color: black;")
                                                              : QStringLiteral("color: gray;");
    // Setting a style sheet restyles the box even when it is the same: not on every reply.
    for (QDoubleSpinBox *box : liveValueBoxes())
        if (box->styleSheet() != colour)
            box->setStyleSheet(colour);
    QString state;
    if (!live && !liveValuesShownAt.isNull())
        state = QStringLiteral("Значения не обновляются (%1). Последние получены в %2.")
                    .arg(running   ? QStringLiteral("идёт испытание")
                         : polling ? QStringLiteral("нет ответа")
                                   : QStringLiteral("опрос остановлен"),
                         liveValuesShownAt.toString(QStringLiteral("hh:mm:ss")));
    ui->liveValuesState->setText(state);
    ui->liveValuesState->setVisible(!state.isEmpty());
}
