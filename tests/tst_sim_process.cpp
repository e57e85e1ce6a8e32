// veltra-sim as a separate program, seen from an independent client: the
// path on its first output line, answers on that terminal, the fault flags,
// the command line, and a clean exit on SIGTERM.
#include "sim/devicestate.h"
#include "sim/lineclient.h"
#include "sim/protocol.h"

#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace veltra::sim;
using std::chrono::milliseconds;

namespace {

QString programPath()
{
    const QByteArray overridden = qgetenv("VELTRA_SIM");
    return overridden.isEmpty() ? QStringLiteral(VELTRA_SIM_PATH)
                                : QString::fromLocal8Bit(overridden);
}

Bytes hex(const char *text)
{
    const QByteArray bytes = QByteArray::fromHex(QByteArray(text).replace(' ', ""));
    return Bytes(bytes.begin(), bytes.end());
}

// Byte arrays are compared as hex text, so that a failure shows the bytes.
QByteArray shown(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()))
        .toHex(' ')
        .toUpper();
}

QString nextLine(QProcess &process)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(5000))
            return {};
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

// Starts the program and returns the path from its first output line.
QString startProgram(QProcess &process, const QStringList &arguments)
{
    process.start(programPath(), arguments);
    if (!process.waitForStarted(5000))
        return {};
    return nextLine(process);
}

bool stopsCleanly(QProcess &process)
{
    process.terminate(); // SIGTERM
    return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

class ProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void servesLiveValuesAndStopsOnSigterm();
    void faultFlagsReachTheLine_data();
    void faultFlagsReachTheLine();
    void servesAnExistingTerminalAsAPort();
    void countPlaysSeveralTransmitters();
    void badCommandLineShowsUsage_data();
    void badCommandLineShowsUsage();
    void helpShowsUsage();
};

void ProcessTest::servesLiveValuesAndStopsOnSigterm()
{
    QProcess process;
    const QString path = startProgram(process, {});
    QVERIFY2(path.startsWith("/dev/"), qPrintable(path));

    LineClient client(path.toStdString());
    QVERIFY(client.isOpen());
    QVERIFY(client.send(hex("FF 00 00 00 00 FF")));
    const Bytes reply = joinChunks(client.receive(milliseconds(150), milliseconds(2000)));
    QCOMPARE(reply.size(), size_t(28));
    QCOMPARE(shown(Bytes(reply.begin(), reply.begin() + 5)), shown(hex("FF 00 00 16 00")));
    QCOMPARE(reply.back(), uint8_t(0xFF));
    QCOMPARE(checkByte(reply.data(), reply.size() - 2), reply[reply.size() - 2]);

    const Bytes values(reply.begin() + 6, reply.end() - 2);
    ByteReader data(values);
    const float converter = data.f32(), corrected = data.f32(), measured = data.f32();
    const float coldJunction = data.f32(), current = data.f32();
    QVERIFY(data.ok());
    QVERIFY(converter > 90 && converter < 130); // Pt100, ohms
    QVERIFY(measured > 15 && measured < 35);
    QVERIFY(std::fabs(corrected - measured) < 1e-3f);
    QVERIFY(coldJunction > 15 && coldJunction < 30);
    // Default range 0..100 degrees on 4..20 mA.
    QVERIFY(std::fabs(current - (4 + 16 * corrected / 100)) < 1e-3f);

    client.close();
    QVERIFY(stopsCleanly(process));
}

void ProcessTest::faultFlagsReachTheLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Bytes>("request");
    QTest::addColumn<Bytes>("expected"); // the whole reply; empty: none at all
    QTest::addColumn<int>("pauseAbove"); // ms; 0: no check

    const Bytes readAdc = hex("FF 00 02 00 02 FF");
    QTest::newRow("no faults") << QStringList{} << readAdc
                               << hex("FF 00 02 0A 00 00 0000803F 00000000 B7 FF") << 0;
    QTest::newRow("--bad-check-byte") << QStringList{"--bad-check-byte"} << readAdc
                                      << hex("FF 00 02 0A 00 00 0000803F 00000000 ED FF") << 0;
    QTest::newRow("--bad-type") << QStringList{"--bad-type"} << readAdc
                                << hex("FF 05 02 0A 00 00 0000803F 00000000 B2 FF") << 0;
    QTest::newRow("--result-code 9") << QStringList{"--result-code", "9"} << readAdc
                                     << hex("FF 00 02 0A 09 00 0000803F 00000000 BE FF") << 0;
    QTest::newRow("--no-answer") << QStringList{"--no-answer"} << readAdc << Bytes{} << 0;
    QTest::newRow("--split-reply") << QStringList{"--split-reply"} << readAdc
                                   << hex("FF 00 02 0A 00 00 0000803F 00000000 B7 FF") << 300;
    QTest::newRow("--password=open")
        << QStringList{"--password=open"} << hex("FF 02 00 04 06 FF FF 03 00 04 6F 70 65 6E 13 FF")
        << hex("FF 02 00 03 00 01 01 01 FF") << 0;
}

void ProcessTest::faultFlagsReachTheLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(Bytes, request);
    QFETCH(Bytes, expected);
    QFETCH(int, pauseAbove);
    QProcess process;
    const QString path = startProgram(process, arguments);
    QVERIFY(!path.isEmpty());
    {
        LineClient client(path.toStdString());
        QVERIFY(client.send(request));
        const milliseconds quiet(pauseAbove > 0 ? 1500 : 200);
        const auto chunks = client.receive(quiet, milliseconds(3000));
        QCOMPARE(shown(joinChunks(chunks)), shown(expected));
#ifndef VELTRA_SANITIZED
        // The pause as this client sees it: a slow sanitized thread on a busy
        // machine that reads or writes the first half late shortens it.
        if (pauseAbove > 0)
            QVERIFY(longestPause(chunks) > milliseconds(pauseAbove));
#endif
    }
    QVERIFY(stopsCleanly(process));
}

void ProcessTest::servesAnExistingTerminalAsAPort()
{
    int master = -1, terminal = -1;
    char name[256] = {};
    QVERIFY(openpty(&master, &terminal, name, nullptr, nullptr) == 0);
    ::close(terminal); // the program opens it by name
    QProcess process;
    QCOMPARE(startProgram(process, {"--port", name}), QString(name));

    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    const Bytes request = hex("FF 00 03 00 03 FF");
    QCOMPARE(::write(master, request.data(), request.size()), ssize_t(request.size()));
    Bytes reply;
    for (int i = 0; i < 100 && reply.size() < 21; ++i) {
        uint8_t buffer[64];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0)
            reply.insert(reply.end(), buffer, buffer + n);
        else
            QTest::qSleep(10);
    }
    QCOMPARE(shown(reply), shown(hex("FF 00 03 0F 00 00 0F 03 07E8 01000000 312E3037 00 F6 FF")));
    QVERIFY(stopsCleanly(process));
    ::close(master);
}

void ProcessTest::countPlaysSeveralTransmitters()
{
    QProcess process; // --bad-type: a fault switch seen on every transmitter at no cost
    QStringList paths{startProgram(process, {"--count", "3", "--bad-type"})};
    paths << nextLine(process) << nextLine(process);
    for (int k = 0; k < 3; ++k) {
        QVERIFY2(paths[k].startsWith("/dev/") && paths.count(paths[k]) == 1,
                 qPrintable(paths.join(' ')));
        LineClient client(paths[k].toStdString());
        QVERIFY(client.send(hex("FF 00 03 00 03 FF"))); // device information
        const Bytes reply = joinChunks(client.receive(milliseconds(150), milliseconds(2000)));
        QCOMPARE(reply.size(), size_t(21));
        QCOMPARE(reply[1], uint8_t(5));
        const Bytes serial(reply.begin() + 10, reply.begin() + 14); // after the production date
        QCOMPARE(ByteReader(serial).i32(), DeviceState().production.serial + k);
    }
    QVERIFY(stopsCleanly(process));
}

void ProcessTest::badCommandLineShowsUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown flag") << QStringList{"--colour"};
    QTest::newRow("stray argument") << QStringList{"now"};
    QTest::newRow("result code above 255") << QStringList{"--result-code", "256"};
    QTest::newRow("result code not a number") << QStringList{"--result-code", "x1"};
    QTest::newRow("result code missing") << QStringList{"--result-code"};
    QTest::newRow("port missing") << QStringList{"--port"};
    QTest::newRow("value on a switch") << QStringList{"--flood=yes"};
    QTest::newRow("current offset not in mA") << QStringList{"--current-offset", "0.1mA"};
    QTest::newRow("count 0") << QStringList{"--count", "0"};
    QTest::newRow("count 17") << QStringList{"--count", "17"};
    QTest::newRow("count not a number") << QStringList{"--count", "x"};
    QTest::newRow("count with a port") << QStringList{"--count", "2", "--port", "/dev/null"};
}

void ProcessTest::badCommandLineShowsUsage()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(programPath(), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().startsWith("usage: veltra-sim"));
}

void ProcessTest::helpShowsUsage()
{
    QProcess process;
    process.start(programPath(), {"--help"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray text = process.readAllStandardOutput();
    for (const char *flag :
         {"--port", "--count", "--password", "--no-answer", "--bad-check-byte", "--bad-type",
          "--split-reply", "--result-code", "--flood", "--round-upper-range"})
        QVERIFY2(text.contains(flag), flag);
}

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_sim_process.moc"
