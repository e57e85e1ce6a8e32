#include "app/mainwindow.h"

#include "plot/chartwindow.h"

// The chart window: made on first use and kept, so it follows every run from
// then on, whether it is open or not.
void MainWindow::on_showChart_triggered()
{
    auto *chart = findChild<ChartWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!chart) {
        chart = new ChartWindow(this);
        connect(this, &MainWindow::testRunStarted, chart, &ChartWindow::startRun);
        connect(this, &MainWindow::testRowLogged, chart, &ChartWindow::addRow);
    }
    chart->show();
    chart->raise();
    chart->activateWindow();
}
