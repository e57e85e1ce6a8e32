#pragma once

#include "plot/decimator.h"
#include "plot/pointstore.h"
#include "plot/runsummary.h"

#include <QDateTime>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <array>

namespace Ui {
class ChartWindow;
}

// The chart of a test run: the five live values against time, the
// temperatures on the left axis and the loop current on the right one, with
// the run's summary below. It follows the current run and can show a past
// run read from its CSV file instead. It stays open across runs; a new run
// starts a new plot.
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

    // Reads a run's CSV file and shows it; tells the user about what could not
    // be read. False when the file cannot be opened.
    bool openLog(const QString &path);
    // The chart as it is on screen, as PNG.
    bool saveImage(const QString &path);

public slots:
    void startRun();
    void addRow(const QDateTime &time, const QList<double> &values);

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_buttonOpenLog_clicked();
    void on_buttonSaveImage_clicked();
    void on_buttonShowRun_clicked();
    void redraw();

private:
    struct Plot
    {
        PointStore points;
        MinMaxDecimator decimator;
        void clear();
    };
    void buildChart();
    void showPlot(Plot *plot);
    void toggleSeries(int series);
    void updateAxes();
    void updateSummary();

    Ui::ChartWindow *ui;
    struct Chart;
    Chart *chart;
    Plot run;
    Plot file;
    Plot *shown = &run;
    QString runTitle;
    QString fileTitle;
    QTimer redrawTimer;
};
