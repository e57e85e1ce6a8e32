// "Экспорт для Excel…" of a month's run: how long the window's own thread is
// held while the file is written in the background.
//
// Build and run (from the source tree; the build directory name is up to you):
//
// clang-format off
//   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
//   cmake --build build -j2 --target bench_export
//   build/bench/bench_export           # 1,300,000 rows, a month at one row every 2 s
//   build/bench/bench_export 200000    # another count of rows
// clang-format on
//
// The chart window is shown (on the offscreen platform unless QT_QPA_PLATFORM
// says otherwise) with the run's rows. A timer that asks to run every
// millisecond watches the window's event loop from the moment the export is
// asked for until it has ended; the longest gap between two of its runs, and
// the time the call itself takes, are how long the window could not answer.
// For comparison, the same file is written once more on the window's thread
// the way it was before the export moved to the background.
//
// Printed: the rows, the time of the background export, the longest gap and
// the call's own time, and the time of the same file written in one go. The
// exit code is 1 when the window was held for 100 ms or more at a time.
#include "plot/chartwindow.h"
#include "plot/spreadsheetexport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1300000;

    QTemporaryDir dir;
    QFile run(dir.filePath("run.csv"));
    if (!dir.isValid() || !run.open(QIODevice::WriteOnly))
        return 2;
    ChartWindow chart;
    chart.resize(900, 640);
    chart.show();
    chart.startRun(run.fileName());
    const QDateTime start = QDateTime::currentDateTime();
    for (int row = 0; row < rows; ++row) {
        const double temperature = 85.0 + 2.0 * std::sin(row / 5000.0) + 0.01 * (row % 7);
        chart.addRow(start.addMSecs(2000 * qint64(row)),
                     {100.0 + 0.385 * temperature, temperature, temperature - 0.02,
                      23.0 + 0.001 * (row % 400), 4.0 + 16.0 * temperature / 150.0});
    }
    QCoreApplication::processEvents();

    QElapsedTimer total;
    QElapsedTimer sinceTick;
    qint64 longestGapNs = 0;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    bool ok = false;
    QObject::connect(&chart, &ChartWindow::excelExportFinished, [&](bool written) {
        ok = written;
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        watch.stop();
        app.quit();
    });
    total.start();
    sinceTick.start();
    watch.start();
    QElapsedTimer call;
    call.start();
    if (!chart.exportForExcel(dir.filePath("run (Excel).csv")))
        return 2;
    const double callMs = call.nsecsElapsed() / 1e6;
    app.exec();
    const double totalS = total.nsecsElapsed() / 1e9;
    const double longestMs = longestGapNs / 1e6;

    QElapsedTimer inOneGo;
    inOneGo.start();
    QString error;
    SpreadsheetExport::write(dir.filePath("in one go.csv"), chart.points(), &error);
    const double inOneGoS = inOneGo.nsecsElapsed() / 1e9;

    std::printf("%d rows: written in the background in %.2f s (%s)\n", rows, totalS,
                ok ? "whole" : "FAILED");
    std::printf("window held at most %.1f ms at a time; the call itself %.1f ms\n", longestMs,
                callMs);
    std::printf("the same file written on the window's thread: %.2f s, %.2f us a row\n", inOneGoS,
                inOneGoS * 1e6 / rows);
    const bool met = ok && longestMs < 100.0 && callMs < 100.0;
    std::printf("target (the window never held 100 ms or more): %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
