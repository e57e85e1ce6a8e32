#include "app/mainwindow.h"

#include "plot/chartwindow.h"

// The chart window: made when the first run starts (or when it is first
// asked for) and kept, so it follows every run from its start, open or not.
// Opened in the middle of a burn-in it shows the whole run.
ChartWindow *MainWindow::chartWindow()
{
    auto *chart = findChild<ChartWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!chart) {
        chart = new ChartWindow(this);
        connect(this, &MainWindow::testRunStarted, chart, &ChartWindow::startRun);
        connect(this, &MainWindow::testRowLogged, chart, &ChartWindow::addRow);
    }
    return chart;
}

void MainWindow::followRunInChart()
{
    if (!findChild<ChartWindow *>(QString(), Qt::FindDirectChildrenOnly))
        chartWindow()->startRun(); // made during this run's start signal, which it missed
}

void MainWindow::on_showChart_triggered()
{
    ChartWindow *chart = chartWindow();
    chart->show();
    chart->raise();
    chart->activateWindow();
}
