#include "link/portreader.h"
#include "link/serialworker.h"
#include "link/statusstyle.h"
#include "support/testsupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QSerialPort>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Records what the worker emits, in the GUI thread, in arrival order.
class Recorder : public QObject
{
    Q_OBJECT
public:
    QStringList events; // status words and "END:<hex>"
    QList<QByteArray> replies;

public slots:
    void style(const QStringList &style) { events.append(style.value(1)); }
    void reply(const QByteArray &data)
    {
        replies.append(data);
        events.append(QStringLiteral("END:") + QString::fromLatin1(data.toHex().toUpper()));
    }
    void corrupted(const QByteArray &data)
    {
        events.append(QStringLiteral("CORRUPTED:") + QString::fromLatin1(data.toHex().toUpper()));
    }
    void transmitted() { events.append(QStringLiteral("TRANSMITTED")); }
};

} // namespace

// The worker against a real QSerialPort on a pseudo-terminal; the test plays
// the device on the master side, byte by byte and pause by pause.
class SerialWorkerTest : public QObject
{
    Q_OBJECT
private:
    int master = -1;
    QString slavePath;
    QSerialPort *port = nullptr;
    SerialWorker *worker = nullptr;
    QThread *thread = nullptr;
    Recorder *recorder = nullptr;
    QLabel *label = nullptr;
    QLineEdit *txData = nullptr, *rxData = nullptr;
    QSpinBox *txCommand = nullptr, *rxCommand = nullptr;

    void deviceWrites(const QByteArray &bytes)
    {
        QVERIFY(::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size());
    }

    // Everything the configurator wrote, read from the master side.
    QByteArray lineBytes(int waitMs = 100)
    {
        QByteArray all;
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < waitMs) {
            QTest::qWait(5);
            char buffer[512];
            ssize_t n;
            while ((n = ::read(master, buffer, sizeof buffer)) > 0)
                all.append(buffer, int(n));
        }
        return all;
    }

    bool openPort()
    {
        if (!port->open(QIODevice::ReadWrite))
            return false;
        thread->start();
        return true;
    }

    void closePort()
    {
        port->close();
        thread->quit();
        thread->wait();
    }

    static constexpr int silence = SerialWorker::ReplySilenceMs;

    // Waits in a plain event loop: QTest::qWait sleeps in steps of 10 ms.
    static void waitExactly(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }

    void init()
    {
        int slave = -1;
        char name[256] = {};
        QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        slavePath = QString::fromLocal8Bit(name);
        ::close(slave); // the master stays; QSerialPort opens the slave by name

        port = new QSerialPort;
        port->setPortName(slavePath);
        port->setReadBufferSize(255);
        label = new QLabel;
        label->setStyleSheet(StatusStyle::initialSheet());
        txData = new QLineEdit;
        rxData = new QLineEdit;
        rxData->setMaxLength(74);
        txCommand = new QSpinBox;
        txCommand->setRange(0, 255);
        rxCommand = new QSpinBox;
        rxCommand->setRange(0, 255);

        worker = new SerialWorker(port);
        worker->setStatusLabel(label);
        worker->setDisplays(txData, rxData, txCommand, rxCommand);
        recorder = new Recorder;
        connect(worker, &SerialWorker::styleChanged, recorder, &Recorder::style);
        connect(worker, &SerialWorker::receiveEnd, recorder, &Recorder::reply);
        connect(worker, &SerialWorker::receiveCorrupted, recorder, &Recorder::corrupted);
        connect(worker, &SerialWorker::packetTransmited, recorder, &Recorder::transmitted);
        thread = new QThread;
        worker->moveToThread(thread);
        connect(thread, &QThread::started, worker, &SerialWorker::doWork);
        connect(thread, &QThread::finished, worker, &SerialWorker::stop);
        QVERIFY(openPort());
    }

    void cleanup()
    {
        closePort();
        delete worker;
        delete thread;
        delete port;
        delete recorder;
        delete label;
        delete txData;
        delete rxData;
        delete txCommand;
        delete rxCommand;
        ::close(master);
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    void sendWritesHeaderThenPayloadFrame()
    {
        worker->sendPackage(hex("0103AABB"));
        QCOMPARE(lineBytes(), hex("FF01030200FF"
                                  "FF030302AABB13FF"));
        QCOMPARE(recorder->events, QStringList({"TX", "TRANSMITTED"}));
        QCOMPARE(txCommand->value(), 3);
        QCOMPARE(txData->text(), QStringLiteral("AABB"));
    }

    void payloadFrameFollowsAfterAPause()
    {
        QElapsedTimer elapsed;
        elapsed.start();
        worker->sendPackage(hex("020101"));
        // The send blocks for the pause between the frames; the header frame is
        // already on the line by then.
        QVERIFY(elapsed.elapsed() >= 9);
        QCOMPARE(lineBytes(), hex("FF02010102FF"
                                  "FF0301010102FF"));
    }

    void readShowsCommandAndEmptyData()
    {
        txData->setText("stale");
        worker->sendPackage(hex("0001"));
        QCOMPARE(lineBytes(), hex("FF00010001FF"));
        QCOMPARE(txCommand->value(), 1);
        QCOMPARE(txData->text(), QString());
    }

    void shortRequestDoesNothing_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte") << hex("00");
    }
    void shortRequestDoesNothing()
    {
        QFETCH(QByteArray, request);
        const QString sheet = label->styleSheet();
        worker->sendPackage(request);
        QCOMPARE(lineBytes(), QByteArray());
        QVERIFY(recorder->events.isEmpty());
        QCOMPARE(label->styleSheet(), sheet);
    }

    void sendWithPortClosedShowsTxError()
    {
        closePort();
        worker->sendPackage(hex("0001"));
        QCOMPARE(label->text(), QStringLiteral("TX ERROR"));
        QCOMPARE(label->styleSheet(),
                 StatusStyle::withColour(StatusStyle::initialSheet(), QStringLiteral("red")));
        QCOMPARE(lineBytes(), QByteArray());
        QVERIFY(recorder->events.isEmpty());
        QVERIFY(openPort());
    }

    void goodReplyIsDeliveredAfterSilence()
    {
        deviceWrites(hex("FF000102000506FF"));
        QTRY_COMPARE(recorder->events, QStringList({"RX", "SUCCESS", "END:0001020005"}));
        QTRY_COMPARE(rxCommand->value(), 1);
        QCOMPARE(rxData->text(), QStringLiteral("020005"));
    }

    void splitChunksStillMakeOneReply()
    {
        const QByteArray reply = hex("FF000102000506FF");
        deviceWrites(reply.left(3));
        QTest::qWait(silence / 2);
        deviceWrites(reply.mid(3, 3));
        QTest::qWait(silence / 2);
        deviceWrites(reply.mid(6));
        QTRY_COMPARE_WITH_TIMEOUT(recorder->replies.size(), 1, 2000);
        QTest::qWait(silence + 100);
        QCOMPARE(recorder->replies, QList<QByteArray>{hex("0001020005")});
        QCOMPARE(recorder->events.count("RX"), 1);
    }

    void longPauseSplitsReplyInTwo()
    {
        deviceWrites(hex("FF000102"));
        QTest::qWait(silence + 200);
        deviceWrites(hex("000506FF"));
        QTRY_COMPARE_WITH_TIMEOUT(recorder->events.count("RX"), 2, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(recorder->events.size(), 6, 2000);
        QVERIFY(recorder->replies.isEmpty());
        // Each half is judged on its own: neither checks out.
        QCOMPARE(recorder->events, QStringList({"RX", "CheckByte Error", "CORRUPTED:00", "RX",
                                                "CheckByte Error", "BAD PACKET"}));
    }

    void badCheckByteIsShownButHandedOnApart()
    {
        deviceWrites(hex("FF000102000507FF"));
        QTRY_COMPARE(recorder->events,
                     QStringList({"RX", "CheckByte Error", "CORRUPTED:0001020005"}));
        QTRY_COMPARE(rxData->text(), QStringLiteral("020005"));
        QCOMPARE(rxCommand->value(), 1);
    }

    void rejectedTypeIsNotDelivered()
    {
        rxCommand->setValue(42);
        deviceWrites(hex("FF05010004FF"));
        QTRY_COMPARE(recorder->events, QStringList({"RX", "BAD PACKET"}));
        QTest::qWait(50);
        QVERIFY(recorder->replies.isEmpty());
        QCOMPARE(rxData->text(), QStringLiteral("FF05010004FF"));
        QCOMPARE(rxCommand->value(), 42);
    }

    void sendDuringReplyDiscardsIt()
    {
        deviceWrites(hex("FF0001020005"));
        QTRY_COMPARE(recorder->events, QStringList({"RX"}));
        worker->sendPackage(hex("0000"));
        QTest::qWait(silence + 200);
        QVERIFY(recorder->replies.isEmpty());
        // The next answer is taken whole.
        deviceWrites(hex("FF000102000506FF"));
        QTRY_COMPARE(recorder->replies.size(), 1);
        QCOMPARE(recorder->replies.first(), hex("0001020005"));
    }

    void reconnectGivesOneReceiveEndPerReply()
    {
        for (int round = 0; round < 3; ++round) {
            closePort();
            QVERIFY(openPort());
        }
        deviceWrites(hex("FF000102000506FF"));
        QTRY_COMPARE(recorder->replies.size(), 1);
        QTest::qWait(silence + 200);
        QCOMPARE(recorder->replies.size(), 1);
        QCOMPARE(recorder->events.count("SUCCESS"), 1);
    }

    void bytesLeftFromAClosedConnectionAreNotDelivered()
    {
        deviceWrites(hex("FF0001"));
        QTRY_COMPARE(recorder->events, QStringList({"RX"}));
        closePort();
        QVERIFY(openPort());
        QTest::qWait(silence + 200);
        QVERIFY(recorder->replies.isEmpty());
    }

    // The reply timer may fire while the port is closing; nothing it shows
    // gets through once the port is closed.
    void nothingArrivesAfterTheClose()
    {
        for (int i = 0; i < 50; ++i) {
            deviceWrites(hex("FF000102000506FF"));
            waitExactly(silence - 10 + i / 2);
            closePort();
            const QStringList events = recorder->events;
            const QString shown = rxData->text();
            QTest::qWait(50);
            QCOMPARE(recorder->events, events);
            QCOMPARE(rxData->text(), shown);
            QVERIFY(openPort());
        }
    }

    void lostLineIsToldOnce_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("times"); // half of them before a byte arrives when dataHalfway
        QTest::addColumn<bool>("dataHalfway");
        QTest::addColumn<QStringList>("told");
        const int many = PortReader::LostLineReadErrors;
        QTest::newRow("resource error") << int(QSerialPort::ResourceError) << 3 << false
                                        << QStringList{"Соединение с модемом потеряно"};
        QTest::newRow("read error storm")
            << int(QSerialPort::ReadError) << 1000 << false << QStringList{""};
        QTest::newRow("a few read errors")
            << int(QSerialPort::ReadError) << many - 1 << false << QStringList();
        QTest::newRow("read errors with data between")
            << int(QSerialPort::ReadError) << 2 * (many - 1) << true << QStringList();
    }
    void lostLineIsToldOnce()
    {
        QFETCH(int, error);
        QFETCH(int, times);
        QFETCH(bool, dataHalfway);
        QFETCH(QStringList, told);
        QStringList messages;
        connect(worker, &SerialWorker::lineLost, this,
                [&](const QString &message) { messages << message; });
        deviceWrites(hex("FF000102000506FF")); // a reply shows the worker wired
        QTRY_COMPARE(recorder->replies.size(), 1);
        for (int i = 0; i < times; ++i) {
            if (dataHalfway && i == times / 2) {
                deviceWrites(hex("FF00"));
                QTRY_COMPARE(recorder->events.count("RX"), 2);
            }
            emit port->errorOccurred(QSerialPort::SerialPortError(error));
        }
        QTest::qWait(50);
        QCOMPARE(messages, told);
    }

    void floodNeverGrowsAReplyPastTheReadBuffer()
    {
        const QByteArray chunk(64, char(0x00));
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < 1500) {
            deviceWrites(chunk);
            QTest::qWait(10);
        }
        QTRY_VERIFY(!recorder->replies.isEmpty());
        for (const QByteArray &reply : recorder->replies)
            QVERIFY(reply.size() <= SerialWorker::MaxReplyBytes - 3);
        QVERIFY(recorder->replies.size() >= 2);
    }
};

QTEST_MAIN(SerialWorkerTest)
#include "tst_serialworker.moc"
