// The traffic log of the manual packet window: the cost of one frame as the file grows.
//
// clang-format off
//   cmake --build build -j2 --target bench_traffic
//   build/bench/bench_traffic              # 100,000 frames
//   build/bench/bench_traffic 2600000      # a month of polling: 2.6 million frames
// clang-format on
//
// "Записывать обмен в файл" is switched on in a temporary working directory and
// the serial worker's traffic signals are raised, a LiveValues request and its
// reply in turn, so each frame takes the window's real path: the signal, the
// line's text, its write to the file. Printed: the time per frame over the first
// and the last 10,000 frames and over all, and the file's size. The exit code is
// 1 when a frame costs 20 µs or more on average, or the last 10,000 cost more
// than 1.5 times the first.
#include "debug/debugwindow.h"
#include "link/serialline.h"
#include "link/serialworker.h"
#include "session/devicesession.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int frames = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const int window = 10000;
    if (frames < 2 * window) {
        std::fprintf(stderr, "bench_traffic: at least %d frames\n", 2 * window);
        return 2;
    }

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    DeviceSession session(QStringLiteral("bench_traffic"));
    SerialWorker &worker = *session.line()->worker();
    DebugWindow dialog(nullptr, &session);
    dialog.findChild<QCheckBox *>(QStringLiteral("recordTraffic"))->setChecked(true);
    const QString file = dialog.findChild<QLabel *>(QStringLiteral("trafficFile"))->text();

    const QByteArray request = QByteArray::fromHex("FF00000000FF");
    // A LiveValues reply: five floats after the two status bytes.
    const QByteArray reply =
        QByteArray::fromHex("FF0000160000CDCC5843339BAA42A49BAA4233BBBB41CDCC514134FF");
    QElapsedTimer total;
    QElapsedTimer stretch;
    qint64 firstNs = 0;
    total.start();
    stretch.start();
    for (int i = 0; i < frames; ++i) {
        if (i == frames - window)
            stretch.restart();
        const QDateTime now = QDateTime::currentDateTime();
        if (i % 2 == 0)
            emit worker.frameWritten(now, request);
        else
            emit worker.frameReceived(now, reply, FrameCodec::Outcome::Success);
        if (i == window - 1)
            firstNs = stretch.nsecsElapsed();
    }
    const qint64 lastNs = stretch.nsecsElapsed();
    const double allUs = total.nsecsElapsed() / 1000.0 / frames;
    const double firstUs = firstNs / 1000.0 / window;
    const double lastUs = lastNs / 1000.0 / window;
    std::printf("frames: %d, file: %.1f MB\n", frames, QFileInfo(file).size() / 1e6);
    std::printf("per frame: first %d %.2f us, last %d %.2f us, all %.2f us\n", window, firstUs,
                window, lastUs, allUs);
    const bool ok = allUs < 20.0 && lastUs <= 1.5 * firstUs;
    std::printf("%s\n", ok ? "targets met" : "TARGET MISSED");
    return ok ? 0 : 1;
}
