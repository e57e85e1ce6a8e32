// The chart window over long runs: the cost of one row and of one redraw as
// the run grows, and the memory a row takes.
//
// Build and run (from the source tree; the build directory name is up to you):
//
// clang-format off
//   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
//   cmake --build build -j2 --target bench_chart
//   build/bench/bench_chart            # checkpoints at 1,000, 100,000 and 1,000,000 rows
//   build/bench/bench_chart --hidden   # the same without painting the window
// clang-format on
//
// The window is shown (on the offscreen platform unless QT_QPA_PLATFORM says
// otherwise) and rows go to its addRow() slot the way the main window hands
// them on, local times and all. At each checkpoint the last 1,000 rows are
// timed on their own, then 20 redraws with the repaint they cause. The window
// redraws at most every ChartWindow::RedrawMs, so at full speed a redraw is
// shared by the rows of that interval; at one row every 2 s, as a real run
// goes, each row pays for one redraw, once every 2 s.
//
// Printed per checkpoint: microseconds per row added and milliseconds per
// redraw, by the clock and in processor time (the wall clock counts what
// other programs take from a loaded machine); then
// memory per row from the resident set size (/proc/self/status, Linux only)
// and from the store's own count, and the time to read the 1,000,000 rows back
// from their CSV text. The exit code is 1 when a target is missed: under 1 ms a
// row at 100,000 rows and the same cost within 2 x at 1,000,000 rows as at
// 1,000; a redraw at 1,000,000 rows within 2 x of one at 100,000; under 100
// bytes a row.
#include "plot/chartwindow.h"
#include "plot/csvlogreader.h"
#include "support/testsupport.h"
#include "testlog/csvformat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

QList<double> valuesOf(int row)
{
    // A burn-in around 85 °C with a slow swing and a little noise.
    const double temperature = 85.0 + 2.0 * std::sin(row / 5000.0) + 0.01 * (row % 7);
    return {100.0 + 0.385 * temperature, temperature, temperature - 0.02,
            23.0 + 0.001 * (row % 400), 4.0 + 16.0 * temperature / 150.0};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const bool hidden = argc > 1 && qstrcmp(argv[1], "--hidden") == 0;
    ChartWindow chart;
    chart.resize(900, 640);
    if (!hidden)
        chart.show();
    chart.startRun();
    QCoreApplication::processEvents();
    const auto redraw = [&] {
        QMetaObject::invokeMethod(&chart, "redraw");
        QCoreApplication::processEvents();
    };

    const QDateTime start = QDateTime::currentDateTime();
    const auto timeOf = [&](int row) { return start.addMSecs(2000 * qint64(row)); };
    const long rssBefore = TestSupport::residentKilobytes();
    const int checkpoints[] = {1000, 100000, 1000000};
    double perRow[3] = {};
    double perRedraw[3] = {};
    int row = 0;
    for (int c = 0; c < 3; ++c) {
        for (; row < checkpoints[c] - 1000; ++row) {
            chart.addRow(timeOf(row), valuesOf(row));
            if (row % 10000 == 9999)
                redraw();
        }
        std::vector<std::pair<QDateTime, QList<double>>> timed;
        for (int r = row; r < checkpoints[c]; ++r)
            timed.emplace_back(timeOf(r), valuesOf(r));
        QElapsedTimer clock;
        clock.start();
        for (const auto &[time, values] : timed)
            chart.addRow(time, values);
        perRow[c] = clock.nsecsElapsed() / 1e3 / double(timed.size());
        row = checkpoints[c];
        clock.restart();
        const std::clock_t cpuStart = std::clock();
        for (int i = 0; i < 20; ++i)
            redraw();
        perRedraw[c] = clock.nsecsElapsed() / 1e6 / 20;
        const double cpu = double(std::clock() - cpuStart) * 1e3 / CLOCKS_PER_SEC / 20;
        std::printf("%9d rows: %6.2f us per row added, %6.2f ms per redraw%s (%.2f ms of CPU)\n",
                    row, perRow[c], perRedraw[c], hidden ? "" : " and repaint", cpu);
    }
    const long rssAfter = TestSupport::residentKilobytes();
    bool met =
        perRow[1] < 1000.0 && perRow[2] <= 2.0 * perRow[0] && perRedraw[2] <= 2.0 * perRedraw[1];

    std::printf("store: %.1f bytes per row (capacity included)\n", chart.points().bytesPerRow());
    if (rssBefore >= 0 && rssAfter >= 0) {
        const double bytesPerRow = (rssAfter - rssBefore) * 1024.0 / row;
        std::printf("memory: %.1f bytes per row (resident %ld kB -> %ld kB)\n", bytesPerRow,
                    rssBefore, rssAfter);
        met = met && bytesPerRow < 100.0;
    } else {
        std::printf("memory: not measured (no /proc/self/status on this system)\n");
    }

    // The same rows read back as a past run.
    QByteArray text = CsvFormat::line(CsvFormat::headerFields());
    for (int r = 0; r < row; ++r)
        text += CsvFormat::line(CsvFormat::rowFields(timeOf(r), valuesOf(r)));
    QElapsedTimer clock;
    clock.start();
    CsvLogReader reader;
    reader.feed(text);
    reader.finish();
    std::printf("reading %d rows (%.1f MB) of CSV: %.2f s, %d rows taken, %d skipped\n", row,
                text.size() / 1e6, clock.nsecsElapsed() / 1e9, reader.points().size(),
                reader.skippedTotal());
    met = met && reader.points().size() == row;

    std::printf("targets (row < 1 ms at 100,000 and flat to 1,000,000, redraw flat, < 100 B a "
                "row): %s\n",
                met ? "met" : "MISSED");
    return met ? 0 : 1;
}
