// Soak: hours of polling and a test run against the simulator, watching for
// what only time shows: memory that creeps up, descriptors that are never
// closed, rows that go missing.
//
//   build/bench/soak [minutes]        (default 60; scripts/soak builds and runs it)
//
// The simulator runs as its own process (veltra-sim), so the figures are the
// configurator's alone. A test run is started on the Testing tab, then polling
// on the Data tab, so both timers send; every reply the simulator sends while
// they run should become one row in the table and one line in the CSV file.
// Printed: resident memory and open descriptors at the start, after a minute
// of warm-up and at the end, one progress line a minute, and the rows logged
// against the replies sent. Exit code 1 when a target is missed: growth after
// warm-up of 2 MB or more, any descriptor growth, a row missing.
#include "app/mainwindow.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

struct Sample
{
    long rssKb = 0;
    int fds = 0;
    int rows = 0;
};

void click(MainWindow &window, const char *name)
{
    window.findChild<QPushButton *>(QLatin1String(name))->click();
}

void waitMs(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int minutes = argc > 1 ? qMax(1, std::atoi(argv[1])) : 60;

    QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path())) {
        std::fprintf(stderr, "soak: no temporary directory to work in\n");
        return 2;
    }
    QProcess sim;
    sim.start(QStringLiteral(VELTRA_SIM_PATH), QStringList());
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "soak: veltra-sim did not start\n");
        return 2;
    }
    const QString pty = QString::fromLocal8Bit(sim.readLine().trimmed());

    MainWindow window;
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("table"));
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    const auto sample = [&] {
        return Sample{TestSupport::residentKilobytes(), openDescriptors(), table->rowCount()};
    };
    const auto print = [](const char *what, const Sample &s) {
        std::printf("%-8s rss %6ld KB  fds %3d  rows %6d\n", what, s.rssKb, s.fds, s.rows);
        std::fflush(stdout);
    };
    const Sample start = sample();
    print("start", start);

    window.addPort(pty);
    click(window, "buttonConnect");
    if (!window.findChild<QThread *>()->isRunning()) {
        std::fprintf(stderr, "soak: could not connect to %s\n", qPrintable(pty));
        return 2;
    }
    tabs->setCurrentIndex(4);
    click(window, "pushButtonStartTesting");
    tabs->setCurrentIndex(0); // the run goes on; polling starts beside it
    click(window, "startButton");

    waitMs(60 * 1000);
    const Sample warm = sample();
    print("warm", warm);
    for (int minute = 2; minute <= minutes; ++minute) {
        waitMs(60 * 1000);
        print(qPrintable(QStringLiteral("min %1").arg(minute)), sample());
    }

    // The run ends right after one of its rows, when no request is on its way:
    // the answer to one would come after the run and rightly be no row.
    click(window, "stopButton");
    waitMs(1500);
    const int rowsBefore = table->rowCount();
    while (table->rowCount() == rowsBefore)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    tabs->setCurrentIndex(4);
    click(window, "pushButtonStopTesting");
    waitMs(1000);
    const Sample end = sample();
    print("end", end);
    click(window, "buttonConnect");
    waitMs(200);

    sim.terminate();
    sim.waitForFinished(5000);
    const QByteArray served = sim.readAllStandardError();
    size_t requests = 0, replies = 0;
    if (std::sscanf(served.constData(), "veltra-sim: %zu requests, %zu replies sent", &requests,
                    &replies) != 2) {
        std::fprintf(stderr, "soak: veltra-sim said %s\n", served.constData());
        return 2;
    }
    int csvRows = -1;
    const QStringList logs = QDir().entryList({QStringLiteral("*.csv")}, QDir::Files);
    if (logs.size() == 1) {
        QFile csv(logs.first());
        if (csv.open(QIODevice::ReadOnly))
            csvRows = int(csv.readAll().count('\n')) - 1; // less the header
    }

    const long growthKb = end.rssKb - warm.rssKb;
    const int missing = int(replies) - end.rows;
    // Every row stays in the table (and the chart) for as long as the window
    // lives, so memory grows by what a row costs; anything more would be a leak.
    const long rowsSinceWarm = qMax(1, end.rows - warm.rows);
    std::printf("\n%d min: memory %+ld KB since warm-up (%ld B per row logged since; %+ld KB "
                "since start), descriptors %+d\n"
                "requests %zu, replies sent %zu, rows in the table %d, lines in the file %d, "
                "missing %d\n",
                minutes, growthKb, growthKb * 1024 / rowsSinceWarm, end.rssKb - start.rssKb,
                end.fds - warm.fds, requests, replies, end.rows, csvRows, missing);
    const bool ok = growthKb < 2048 && end.fds <= warm.fds && missing <= 0 && csvRows == end.rows;
    std::printf("%s\n", ok ? "targets met" : "TARGET MISSED");
    return ok ? 0 : 1;
}
