#include "app/mainwindow.h"

#include "plot/chartwindow.h"
#include "session/devicesession.h"
#include "testlog/devicedescription.h"
#include "testlog/testrun.h"

// The chart window: made when the first run starts (or when it is first
// asked for) and kept, so it follows every run from its start, open or not.
// Opened in the middle of a burn-in it shows the whole run.
ChartWindow *MainWindow::chartWindow()
{
    auto *chart = findChild<ChartWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!chart) {
        chart = new ChartWindow(this);
        connect(this, &MainWindow::testRunStarted, chart, [this, chart] { startRunIn(chart); });
        connect(this, &MainWindow::testRowLogged, chart, &ChartWindow::addRow);
    }
    return chart;
}

void MainWindow::followRunInChart()
{
    if (!findChild<ChartWindow *>(QString(), Qt::FindDirectChildrenOnly))
        // Made during this run's start signal, which it missed.
        startRunIn(chartWindow());
}

// The device as the run's start event records it, read back the same way.
void MainWindow::startRunIn(ChartWindow *chart)
{
    chart->startRun(session->run().fileName(), DeviceDescription::parse(session->describeDevice()));
}

void MainWindow::on_showChart_triggered()
{
    ChartWindow *chart = chartWindow();
    chart->show();
    chart->raise();
    chart->activateWindow();
}
