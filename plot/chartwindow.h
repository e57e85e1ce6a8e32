#pragma once

#include "plot/loggedrun.h"
#include "plot/pointstore.h"
#include "plot/runchart.h"
#include "plot/runsummary.h"
#include "testlog/devicedescription.h"

#include <QDateTime>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class SpreadsheetExportJob;

namespace Ui {
class ChartWindow;
}

// The chart of a test run: the five live values against time, the
// temperatures on the left axis, the loop current and the converter value
// (hidden until its legend entry is clicked) on axes of their own on the
// right, with the run's summary below. It follows the current run and can show
// a past run read from its CSV file instead. It stays open across runs; a new
// run starts a new plot. The chart's title names the device, the start and the
// file of the run shown, so a saved picture and a report say what they show.
//
// Rows are kept whole in a compact store, but the chart only ever gets the
// decimated points, redrawn at most every RedrawMs however fast rows come.
class ChartWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RedrawMs = 250;

    explicit ChartWindow(QWidget *parent = nullptr);
    ~ChartWindow() override;

    // What is shown: the current run, or a log file opened since.
    const PointStore &points() const { return shown->points; }
    bool showsFile() const { return shown == &file; }
    RunSummary summary() const { return RunSummary::of(shown->points); }
    QString title() const;

    // Reads a run's CSV file and shows it, with the device its events file
    // recorded at the start; tells the user about what could not be read.
    // False when the file cannot be opened.
    bool openLog(const QString &path);
    // The chart as it is on screen, as PNG.
    bool saveImage(const QString &path);
    // Starts writing the run shown as a CSV file for a Russian-locale
    // spreadsheet, in the background with its progress in a box that can
    // cancel it; excelExportFinished() tells the end. False, after a box that
    // says why where there is one, when it cannot start: the file is the run's
    // own, or an export is still running.
    bool exportForExcel(const QString &path);
    // The PDF report of the run shown, into `directory`; its path, or empty
    // after a box that says why not.
    QString writeReport(const QString &directory, double tolerance);

    // A new run, written to `csvPath`, on the device as the connection had read it.
    void startRun(const QString &csvPath = QString(),
                  const std::optional<DeviceDescription> &device = std::nullopt);

public slots:
    void addRow(const QDateTime &time, const QList<double> &values);

signals:
    // The export that exportForExcel() started is over: the file written
    // whole, or (cancelled, or failed after a box) not at all.
    void excelExportFinished(bool ok);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_buttonOpenLog_clicked();
    void on_buttonSaveImage_clicked();
    void on_buttonShowRun_clicked();
    void on_buttonReport_clicked();
    void on_buttonExportExcel_clicked();
    void redraw();

private:
    using Plot = LoggedRun;
    void buildChart();
    void showPlot(Plot *plot);
    void updateSummary();
    void tellExportFailed(const QString &path, const QString &error);

    Ui::ChartWindow *ui;
    RunChart chart;
    QChartView *view = nullptr;
    Plot run;
    Plot file;
    Plot *shown = &run;
    QTimer redrawTimer;
    double reportTolerance;
    SpreadsheetExportJob *excelExport = nullptr; // while one runs
};
