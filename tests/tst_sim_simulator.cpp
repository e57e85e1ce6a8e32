// The simulator on a real pseudo-terminal, driven from the client side: the
// requests it logs, the replies it writes, and every line fault.
#include "sim/lineclient.h"
#include "sim/simulator.h"

#include <QtTest>

#include <atomic>
#include <thread>

using namespace veltra::sim;
using std::chrono::milliseconds;

namespace {

Bytes hex(const char *text)
{
    const QByteArray bytes = QByteArray::fromHex(QByteArray(text).replace(' ', ""));
    return Bytes(bytes.begin(), bytes.end());
}

// A reply frame as received: FF type cmd L rc status data... cb FF.
struct ReceivedReply
{
    bool wellFormed = false;
    bool checkByteOk = false;
    uint8_t type = 0, command = 0, length = 0, resultCode = 0, status = 0;
    Bytes data;
};

ReceivedReply parseReply(const Bytes &bytes)
{
    ReceivedReply reply;
    if (bytes.size() < 8 || bytes.front() != 0xFF || bytes.back() != 0xFF)
        return reply;
    reply.wellFormed = bytes[3] == bytes.size() - 6;
    reply.checkByteOk = checkByte(bytes.data(), bytes.size() - 2) == bytes[bytes.size() - 2];
    reply.type = bytes[1];
    reply.command = bytes[2];
    reply.length = bytes[3];
    reply.resultCode = bytes[4];
    reply.status = bytes[5];
    reply.data.assign(bytes.begin() + 6, bytes.end() - 2);
    return reply;
}

struct Bench
{
    Simulator simulator;
    std::unique_ptr<LineClient> client;

    bool open()
    {
        if (!simulator.openPty())
            return false;
        simulator.start();
        client = std::make_unique<LineClient>(simulator.devicePath());
        return client->isOpen();
    }
    std::vector<LineChunk> ask(const Request &request, int limitMs = 1000)
    {
        client->sendRequest(request);
        return client->receive(milliseconds(150), milliseconds(limitMs));
    }
};

} // namespace

class SimulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void answersAReadAndLogsTheLine();
    void writeInTwoFramesIsOneRequest();
    void faultsShapeTheReply_data();
    void faultsShapeTheReply();
    void noAnswerStillCarriesTheRequestOut();
    void splitReplyPausesLongerThanTheReplyTimeout();
    void floodNeverFallsSilent();
    void garbageAndBadCheckBytesAreCountedAndRefused();
    void passwordAndStateSettersReachTheLine();
    void clientMayCloseAndReopenTheTerminal();
    void callersOnOtherThreadsAreSafe();
};

void SimulatorTest::answersAReadAndLogsTheLine()
{
    Bench bench;
    QVERIFY(bench.open());
    QVERIFY(bench.simulator.isServing());
    const ReceivedReply reply = parseReply(joinChunks(bench.ask({TypeRead, CmdLiveValues, {}})));
    QVERIFY(reply.wellFormed);
    QVERIFY(reply.checkByteOk);
    QCOMPARE(reply.type, uint8_t(0));
    QCOMPARE(reply.length, uint8_t(22));
    QCOMPARE(reply.resultCode, uint8_t(RcOk));
    ByteReader data(reply.data);
    const float converter = data.f32(), corrected = data.f32(), measured = data.f32();
    const float coldJunction = data.f32(), current = data.f32();
    QVERIFY(converter > 105 && converter < 115); // Pt100 near room temperature
    QVERIFY(measured > 15 && measured < 35);
    QCOMPARE(corrected, measured);
    QVERIFY(coldJunction > 20 && coldJunction < 26);
    QVERIFY(current > 6 && current < 10);

    QCOMPARE(bench.simulator.receivedBytes(), hex("FF 00 00 00 00 FF"));
    QVERIFY(!bench.simulator.lineLog().empty());
    QCOMPARE(bench.simulator.requests().size(), size_t(1));
    QCOMPARE(bench.simulator.repliesSent(), size_t(1));
    QCOMPARE(bench.simulator.droppedFrames(), size_t(0));

    bench.simulator.clearLogs();
    QVERIFY(bench.simulator.receivedBytes().empty());
    QVERIFY(bench.simulator.requests().empty());
    QCOMPARE(bench.simulator.repliesSent(), size_t(0));
}

void SimulatorTest::writeInTwoFramesIsOneRequest()
{
    Bench bench;
    QVERIFY(bench.open());
    Bytes probe{KindThermocouple, 0x88};
    putF32(probe, -10);
    putF32(probe, 600);
    probe.insert(probe.end(), {2, CompensationOn, 0, 0, 0, 0});
    const ReceivedReply reply = parseReply(joinChunks(bench.ask({TypeWrite, CmdProbeType, probe})));
    QVERIFY(reply.checkByteOk);
    QCOMPARE(reply.type, uint8_t(TypeWrite));
    QCOMPARE(reply.resultCode, uint8_t(RcOk));
    QCOMPARE(reply.data, probe);

    const auto requests = bench.simulator.requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(requests[0].type, uint8_t(TypeWrite));
    QCOMPARE(requests[0].payload, probe);
    QCOMPARE(bench.simulator.state().probe.typeCode, uint8_t(0x88));
    QCOMPARE(bench.simulator.state().probe.upper, 600.0f);
}

void SimulatorTest::faultsShapeTheReply_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("checkByteOk");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("resultCode");
    QTest::newRow("none") << 0 << true << 0 << 0;
    QTest::newRow("bad check byte") << 1 << false << 0 << 0;
    QTest::newRow("rejected type") << 2 << true << 5 << 0;
    QTest::newRow("forced result code 7") << 3 << true << 0 << 7;
    QTest::newRow("forced result code 0x84") << 4 << true << 0 << 0x84;
}

void SimulatorTest::faultsShapeTheReply()
{
    QFETCH(int, fault);
    QFETCH(bool, checkByteOk);
    QFETCH(int, type);
    QFETCH(int, resultCode);
    Bench bench;
    QVERIFY(bench.open());
    Faults faults;
    faults.badCheckByte = fault == 1;
    faults.rejectedType = fault == 2;
    faults.forcedResultCode = fault == 3 ? 7 : fault == 4 ? 0x84 : -1;
    bench.simulator.setFaults(faults);
    QCOMPARE(bench.simulator.faults().forcedResultCode, faults.forcedResultCode);

    const ReceivedReply reply = parseReply(joinChunks(bench.ask({TypeRead, CmdDeviceInfo, {}})));
    QVERIFY(reply.wellFormed);
    QCOMPARE(reply.checkByteOk, checkByteOk);
    QCOMPARE(int(reply.type), type);
    QCOMPARE(int(reply.resultCode), resultCode);
    // The data goes out whatever the faults.
    QCOMPARE(reply.data, hex("0F 03 07E8 01000000 312E3037 00"));
}

void SimulatorTest::noAnswerStillCarriesTheRequestOut()
{
    Bench bench;
    QVERIFY(bench.open());
    Faults faults;
    faults.noAnswer = true;
    bench.simulator.setFaults(faults);
    QVERIFY(bench.ask({TypeAction, ActFixedCurrent, {0, 0, 0x48, 0x41}}, 600).empty());
    QCOMPARE(bench.simulator.requests().size(), size_t(1));
    QCOMPARE(bench.simulator.state().fixedCurrent, 12.5f);
    QCOMPARE(bench.simulator.repliesSent(), size_t(0));
}

void SimulatorTest::splitReplyPausesLongerThanTheReplyTimeout()
{
    Bench bench;
    QVERIFY(bench.open());
    Faults faults;
    faults.splitReply = true;
    bench.simulator.setFaults(faults);
    bench.client->sendRequest({TypeRead, CmdRefAndMeas, {}});
    const auto chunks = bench.client->receive(milliseconds(1500), milliseconds(3000));
#ifndef VELTRA_SANITIZED
    // The pause as the client sees it: a slow sanitized thread on a busy machine
    // that writes or reads the first half late shortens it, or joins the halves.
    QVERIFY(chunks.size() >= 2);
    QVERIFY(longestPause(chunks) > milliseconds(300));
#endif
    const ReceivedReply reply = parseReply(joinChunks(chunks));
    QVERIFY(reply.wellFormed);
    QVERIFY(reply.checkByteOk);
    QCOMPARE(reply.data.size(), size_t(41));
}

void SimulatorTest::floodNeverFallsSilent()
{
    Bench bench;
    QVERIFY(bench.open());
    Faults faults;
    faults.flood = true;
    bench.simulator.setFaults(faults);
    const auto chunks = bench.client->receive(milliseconds(300), milliseconds(1000));
    QVERIFY(joinChunks(chunks).size() >= 2000);
    // Paced at 10 ms; the margin is for a loaded machine. What matters is
    // staying well below the 300 ms a configurator waits for the end of a reply.
    QVERIFY2(longestPause(chunks) < milliseconds(200),
             qPrintable(QString::number(longestPause(chunks).count())));

    bench.simulator.setFaults(Faults{});
    bench.client->receive(milliseconds(100), milliseconds(500)); // drain what is in flight
    QVERIFY(bench.client->receive(milliseconds(100), milliseconds(300)).empty());
}

void SimulatorTest::garbageAndBadCheckBytesAreCountedAndRefused()
{
    Bench bench;
    QVERIFY(bench.open());
    bench.client->send(hex("01 02 03 FF 00 01 00 07 FF FF 00 05 00 05 FF"));
    const Bytes received = joinChunks(bench.client->receive(milliseconds(200), milliseconds(1000)));
    // The refusal of the bad frame, then the answer to the good one.
    QVERIFY(received.size() >= 8);
    const ReceivedReply refusal = parseReply(Bytes(received.begin(), received.begin() + 8));
    QVERIFY(refusal.checkByteOk);
    QCOMPARE(refusal.command, uint8_t(1));
    QCOMPARE(refusal.resultCode, uint8_t(RcBadCheckByte));
    QVERIFY(refusal.data.empty());
    const ReceivedReply cj = parseReply(Bytes(received.begin() + 8, received.end()));
    QVERIFY(cj.checkByteOk);
    QCOMPARE(cj.command, uint8_t(CmdColdJunction));
    QCOMPARE(cj.resultCode, uint8_t(RcOk));

    QCOMPARE(bench.simulator.droppedFrames(), size_t(1));
    QCOMPARE(bench.simulator.badCheckFrames(), size_t(1));
    QCOMPARE(bench.simulator.requests().size(), size_t(1));
    QCOMPARE(bench.simulator.repliesSent(), size_t(2));
}

void SimulatorTest::passwordAndStateSettersReachTheLine()
{
    Bench bench;
    QVERIFY(bench.open());
    bench.simulator.setPassword("bench");
    DeviceState state = bench.simulator.state();
    state.production.serial = 4242;
    state.production.firmware = "2.00";
    bench.simulator.setState(state);

    ReceivedReply reply = parseReply(joinChunks(bench.ask({TypeRead, CmdDeviceInfo, {}})));
    QCOMPARE(reply.data, hex("0F 03 07E8 92100000 322E3030 00"));
    reply = parseReply(joinChunks(bench.ask({TypeAction, ActFactoryMode, hex("62656E6368")})));
    QCOMPARE(reply.data, Bytes{1});
    QCOMPARE(reply.status & StatusAdminUnlocked, int(StatusAdminUnlocked));
    QVERIFY(bench.simulator.state().adminUnlocked);
}

void SimulatorTest::clientMayCloseAndReopenTheTerminal()
{
    Bench bench;
    QVERIFY(bench.open());
    QVERIFY(!bench.ask({TypeRead, CmdAdc, {}}).empty());
    bench.client.reset();
    std::this_thread::sleep_for(milliseconds(50));
    bench.client = std::make_unique<LineClient>(bench.simulator.devicePath());
    QVERIFY(bench.client->isOpen());
    const ReceivedReply reply = parseReply(joinChunks(bench.ask({TypeRead, CmdAdc, {}})));
    QVERIFY(reply.checkByteOk);
    QCOMPARE(reply.command, uint8_t(CmdAdc));
}

void SimulatorTest::callersOnOtherThreadsAreSafe()
{
    Bench bench;
    QVERIFY(bench.open());
    std::atomic<bool> done{false};
    std::thread other([&] {
        Faults faults;
        while (!done) {
            faults.forcedResultCode = faults.forcedResultCode < 0 ? 9 : -1;
            bench.simulator.setFaults(faults);
            DeviceState state = bench.simulator.state();
            state.production.serial += 1;
            bench.simulator.setState(state);
            (void)bench.simulator.lineLog();
            (void)bench.simulator.requests();
            (void)bench.simulator.droppedFrames();
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    int answered = 0;
    for (int i = 0; i < 10; ++i) {
        const ReceivedReply reply =
            parseReply(joinChunks(bench.ask({TypeRead, CmdLiveValues, {}})));
        answered += reply.checkByteOk && (reply.resultCode == 0 || reply.resultCode == 9);
    }
    done = true;
    other.join();
    QCOMPARE(answered, 10);
    QCOMPARE(bench.simulator.requests().size(), size_t(10));
    bench.simulator.stop();
    QVERIFY(!bench.simulator.isServing());
}

QTEST_APPLESS_MAIN(SimulatorTest)
#include "tst_sim_simulator.moc"
