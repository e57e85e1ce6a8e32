// The burn-in rack with many lines at once: how soon each reply becomes a row,
// whether the window's thread keeps up, and what the lines cost in CPU time
// and memory.
//
// Build and run (from the source tree; the build directory name is up to you):
//
// clang-format off
//   cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
//   cmake --build build -j2 --target bench_rack
//   build/bench/bench_rack 16            # 16 lines for 120 s
//   build/bench/bench_rack 8 600         # 8 lines for ten minutes
//   build/bench/bench_rack 16 120 --flood  # the last line's transmitter floods its line
// clang-format on
//
// N lines (1..16) of the rack window, shown on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise, each on a pseudo-terminal with a simulated
// transmitter of its own in this process, serial numbers 1001 and on. Runs go
// to a temporary directory. All lines are connected, their serial numbers
// read, and all runs started; then for the given time:
// - latency: from the moment the simulator began writing the last byte of a
//   reply to the moment its row was logged. During a run every reply is a read
//   of the live values, so a row belongs to the latest reply sent before it.
// - the window's thread: a timer asks to run every 5 ms; the longest gap
//   between two of its runs, less those 5 ms, is the longest stall.
// - CPU time of the rack's own threads (the simulators' threads are named
//   "veltra-sim" and left out), from the start of the runs to the end.
// - the resident memory at half the time and at the end: what it grew by is
//   what a long run would keep growing by. The heap settles over the first
//   ten minutes or so (allocators' high-water marks, the trends filling to
//   their bound), so memory is judged on runs of 20 minutes or more:
//   build/bench/bench_rack 16 1200.
// With --flood the last line's transmitter sends bytes without a pause from
// the start; its latency is shown but not counted.
//
// Printed: each line's rows and latency (median, largest), the latency over
// all lines, the longest stall, CPU seconds per line per hour and % of one
// core per line, memory growth and memory per line, each beside its target.
// The exit code is 1 when a target is missed, 2 when the rack could not be
// set up.
#include "link/serialline.h"
#include "link/serialworker.h"
#include "rack/rackline.h"
#include "rack/rackwindow.h"
#include "session/devicesession.h"
#include "sim/simulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using veltra::sim::Simulator;

namespace {

constexpr auto FetchEvery = std::chrono::seconds(10);
constexpr int FetchAfterRequestMs = 100;
constexpr int TickMs = 5;
constexpr double LatencyTargetMs = 310;
constexpr double LatencyTargetFloodMs = 320; // for the others while one line floods
constexpr double StallTargetMs = 50;
constexpr double CpuTargetPercent = 1;
constexpr double GrowthTargetKb = 4; // one page a line over the second half of the run

struct Line
{
    std::unique_ptr<Simulator> sim;
    qint32 serial = 0;
    RackLine *rack = nullptr;
    bool flooding = false;
    std::vector<Clock::time_point> rows; // logged since the last fetch
    std::optional<Clock::time_point> lastReply;
    Clock::time_point lastFetch; // or asked for
    std::vector<double> latenciesMs;
    int unpaired = 0; // rows with no reply before them
    int tooSoon = 0;  // rows that took a reply sent after their own
};

// Takes the reply times the simulator has gathered and empties its logs, then
// gives each row waiting the latest reply at or before it. The last reply is
// kept, since the next row may be its own.
void fetchReplies(Line &line)
{
    const std::vector<Clock::time_point> replies = line.sim->replyTimes();
    line.sim->clearLogs();
    line.lastFetch = Clock::now();
    size_t next = 0;
    for (Clock::time_point row : line.rows) {
        while (next < replies.size() && replies[next] <= row)
            line.lastReply = replies[next++];
        if (!line.lastReply) {
            ++line.unpaired;
            continue;
        }
        // A reply becomes a row no sooner than the worker's silence after it.
        const double ms = std::chrono::duration<double, std::milli>(row - *line.lastReply).count();
        if (ms < SerialWorker::ReplySilenceMs)
            ++line.tooSoon;
        else
            line.latenciesMs.push_back(ms);
    }
    line.rows.clear();
    if (!replies.empty())
        line.lastReply = replies.back();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return qQNaN();
    const auto middle = values.begin() + long(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

double largest(const std::vector<double> &values)
{
    return values.empty() ? qQNaN() : *std::max_element(values.begin(), values.end());
}

// CPU seconds of this process less those of the simulators' threads. The
// process's own figure keeps the time of threads that have ended.
double rackCpuSeconds()
{
    // Fields 14 and 15, utime and stime; counted from the end of the name,
    // which may hold spaces: the state, field 3, comes first after it.
    auto ticksIn = [](const QByteArray &stat, QByteArray *name) {
        const int open = stat.indexOf('(');
        const int close = stat.lastIndexOf(')');
        if (name)
            *name = stat.mid(open + 1, close - open - 1);
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : 0;
    };
    auto read = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    qint64 ticks = ticksIn(read(QStringLiteral("/proc/self/stat")), nullptr);
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QByteArray name;
        const qint64 own = ticksIn(read(tasks.filePath(task + QStringLiteral("/stat"))), &name);
        if (name == "veltra-sim")
            ticks -= own;
    }
    return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

double residentKb()
{
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1024 : 0;
}

void click(RackWindow &rack, const char *button)
{
    if (auto *found = rack.findChild<QPushButton *>(QLatin1String(button)))
        found->click();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool flood = args.removeAll(QStringLiteral("--flood")) > 0;
    const int count = args.value(0).toInt();
    const int seconds = args.size() > 1 ? args.at(1).toInt() : 120;
    if (count < 1 || count > RackWindow::MaxLines || seconds < 4 || (flood && count < 2)) {
        std::fprintf(stderr, "usage: bench_rack N(1..16, 2 or more with --flood) [seconds, 4 "
                             "or more] [--flood]\n");
        return 2;
    }

    QTemporaryDir dir; // runs go to "runs" in the working directory
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 2;
    std::vector<Line> lines(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Line &line = lines[size_t(i)];
        line.sim = std::make_unique<Simulator>();
        line.serial = 1001 + i;
        line.flooding = flood && i == count - 1;
        if (!line.sim->openPty())
            return 2;
        veltra::sim::DeviceState state = line.sim->state();
        state.production.serial = line.serial;
        line.sim->setState(state);
        veltra::sim::Faults faults;
        faults.flood = line.flooding;
        line.sim->setFaults(faults);
        line.sim->start();
    }

    // Made after the simulators, so its lines let go of their ports first.
    RackWindow rack;
    rack.show();
    for (Line &line : lines)
        if (!rack.addLine(QString::fromStdString(line.sim->devicePath())))
            return 2;
    for (int i = 0; i < count; ++i)
        lines[size_t(i)].rack = rack.lines().at(i);

    click(rack, "rackConnectAll");
    // A flooding line never reads its serial number: the line is never quiet.
    const bool identified = QTest::qWaitFor(
        [&] {
            for (const Line &line : lines)
                if (!line.flooding &&
                    line.rack->serialText() != QStringLiteral("№ %1").arg(line.serial))
                    return false;
            return true;
        },
        60000);
    bool measuring = true;
    for (Line &line : lines) {
        Line *measured = &line;
        QObject::connect(line.rack->session(), &DeviceSession::rowLogged, &app,
                         [&measuring, measured] {
                             if (measuring)
                                 measured->rows.push_back(Clock::now());
                         });
        // Fetched a little after a request has gone: its reply has been sent by
        // then, and the next request waits for that reply's silence, so no reply
        // comes between taking the times and clearing the logs. The first fetch
        // clears what the connecting left.
        QObject::connect(line.rack->session()->line(), &SerialLine::requestSent, &app, [measured] {
            if (Clock::now() - measured->lastFetch < FetchEvery)
                return;
            measured->lastFetch = Clock::now();
            QTimer::singleShot(FetchAfterRequestMs, [measured] { fetchReplies(*measured); });
        });
    }

    click(rack, "rackStartAll");
    // A run waits for its line's settings to be read, or for their time to pass.
    const bool started = QTest::qWaitFor(
        [&] {
            return std::all_of(lines.begin(), lines.end(),
                               [](const Line &line) { return line.rack->isRunning(); });
        },
        10000);
    for (const Line &line : lines)
        if (!identified || !started || !line.rack->isRunning()) {
            std::fprintf(stderr, "line %s: %s, not running\n", qPrintable(line.rack->port()),
                         qPrintable(line.rack->serialText()));
            return 2;
        }

    QElapsedTimer sinceTick;
    qint64 longestGapNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(TickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });

    // The bench's own record of latencies grows with the rows: left out of the growth.
    const auto recordKb = [&lines] {
        double bytes = 0;
        for (const Line &line : lines)
            bytes += double(line.latenciesMs.capacity() * sizeof(double));
        return bytes / 1024;
    };
    double rssHalfKb = 0;
    double recordHalfKb = 0;
    QTimer::singleShot(seconds * 500, [&] {
        rssHalfKb = residentKb();
        recordHalfKb = recordKb();
    });
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    const double cpuStart = rackCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    sinceTick.start();
    ticker.start();
    app.exec();
    ticker.stop();
    measuring = false;
    const double cpu = rackCpuSeconds() - cpuStart;
    const double wallS = elapsed.nsecsElapsed() / 1e9;
    const double rssEndKb = residentKb();
    for (Line &line : lines)
        fetchReplies(line);
    click(rack, "rackStopAll");

    const double latencyTarget = flood ? LatencyTargetFloodMs : LatencyTargetMs;
    bool met = true;
    std::vector<double> counted;
    std::printf("%d lines, %.0f s%s\n", count, wallS,
                flood ? ", the last one's transmitter flooding" : "");
    std::printf("line  serial  rows  latency median  largest (ms)\n");
    for (int i = 0; i < count; ++i) {
        const Line &line = lines[size_t(i)];
        const double lineMedian = median(line.latenciesMs);
        std::printf("%4d  %6d  %4d  ", i + 1, line.serial, line.rack->rows());
        if (line.latenciesMs.empty())
            std::printf("%14s  %7s", "-", "-");
        else
            std::printf("%14.1f  %7.1f", lineMedian, largest(line.latenciesMs));
        if (line.flooding)
            std::printf("  flooding, not counted");
        if (line.unpaired > 0 || line.tooSoon > 0)
            std::printf("  (not paired: %d with no reply before them, %d too soon after one)",
                        line.unpaired, line.tooSoon);
        std::printf("\n");
        if (line.flooding)
            continue;
        counted.insert(counted.end(), line.latenciesMs.begin(), line.latenciesMs.end());
        if (!(lineMedian <= latencyTarget))
            met = false;
    }
    std::printf("%s: median %.1f ms, largest %.1f ms (target: median <= %.0f ms on every line)\n",
                flood ? "latency of the others" : "latency of all lines", median(counted),
                largest(counted), latencyTarget);

    const double stallMs = longestGapNs / 1e6 - TickMs;
    std::printf("longest stall of the window's thread: %.1f ms (target: none over %.0f ms)\n",
                stallMs, StallTargetMs);
    met = met && stallMs <= StallTargetMs;

    const double cpuPerLine = cpu / count;
    const double percentPerLine = 100 * cpuPerLine / wallS;
    std::printf("CPU: %.2f s per line per hour, %.3f %% of one core per line (target: under "
                "%.0f %%)\n",
                cpuPerLine * 3600 / wallS, percentPerLine, CpuTargetPercent);
    met = met && percentPerLine < CpuTargetPercent;

    const double growthKb = (rssEndKb - rssHalfKb - (recordKb() - recordHalfKb)) / count;
    std::printf(
        "memory: %.0f kB at half the time, %.0f kB at the end; growth %.1f kB per "
        "line without the bench's own records, %.0f kB per line at the end (target: flat, growth "
        "under %.0f kB per line)\n",
        rssHalfKb, rssEndKb, growthKb, rssEndKb / count, GrowthTargetKb);
    met = met && growthKb < GrowthTargetKb;

    std::printf("targets: %s\n", met ? "met" : "MISSED");
    return met ? 0 : 1;
}
