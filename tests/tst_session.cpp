#include "device/requests.h"
#include "link/linesettings.h"
#include "session/devicesession.h"
#include "sim/simulator.h"
#include "support/linktoline.h"
#include "support/simwindow.h"
#include "support/testsupport.h"
#include "testlog/csvformat.h"
#include "testlog/runevents.h"
#include "testlog/testrun.h"

#include <QSerialPort>
#include <QtTest>

#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

using veltra::sim::Simulator;
using Signal = QList<QVariant>;
using TestSupport::startSimulator;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// All of it at once, so that a failure shows the whole state.
QString stateOf(const DeviceSession &s)
{
    return QStringList{s.isOpen() ? "open" : "", s.holdsPort() ? "holds" : "",
                       s.isWaitingForLine() ? "waiting" : "", s.isRunning() ? "running" : ""}
        .join(' ')
        .simplified();
}

} // namespace

// The session with no window: the real port over a pseudo-terminal, the
// simulator at its far end, and only the session's signals to listen to.
class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }

    void init()
    {
        session = std::make_unique<DeviceSession>(QStringLiteral("стенд 1"));
        messages = std::make_unique<QSignalSpy>(session.get(), &DeviceSession::message);
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        session->setRunDirectory(dir->path());
        line = std::make_unique<TestSupport::LinkToLine>();
        link = line->path();
        absent = dir->filePath(QStringLiteral("absent"));
        sim = startSimulator(1);
        QVERIFY(sim);
    }

    void cleanup()
    {
        const QList<Signal> told = *messages;
        session->disconnectLine();
        simBack.reset();
        sim.reset();
        // Nothing in these cases calls for a box.
        QVERIFY2(told.isEmpty(), qPrintable(told.value(0).value(1).toString()));
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    void connectsReadsTheDeviceAndCloses()
    {
        veltra::sim::DeviceState state = sim->state();
        state.production.serial = 4711;
        sim->setState(state);
        QSignalSpy opened(session.get(), &DeviceSession::opened);
        QSignalSpy closed(session.get(), &DeviceSession::closed);
        QSignalSpy identity(session.get(), &DeviceSession::identityChanged);
        QString whyNot;
        QVERIFY2(session->connectTo(ptyOf(*sim), &whyNot), qPrintable(whyNot));
        QCOMPARE(opened.count(), 1);
        QCOMPARE(stateOf(*session), QStringLiteral("open holds"));
        QCOMPARE(session->portName(), ptyOf(*sim));
        QVERIFY(!session->record().info);
        identity.clear();
        QCOMPARE(readSerial(), std::optional<qint32>(4711));
        QCOMPARE(session->record().info.value_or(Device::DeviceInfoReply()).serialNumber, 4711);
        QCOMPARE(session->record().info->firmware,
                 QString::fromStdString(state.production.firmware));
        QVERIFY(identity.count() >= 1);
        session->disconnectLine();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(stateOf(*session), QString());
    }

    // A configurator killed while connected never puts the terminal's settings
    // back; the next one must still get the line.
    void aTerminalLeftByAKilledProgramStillOpens()
    {
        const QString path = ptyOf(*sim);
        const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        termios left{};
        {
            QSerialPort earlier(path);
            LineSettings::apply(earlier);
            QVERIFY(earlier.open(QIODevice::ReadWrite));
            QCOMPARE(::tcgetattr(fd, &left), 0);
        } // closing puts back what it found, as a killed program would not
        QCOMPARE(::tcsetattr(fd, TCSANOW, &left), 0);
        ::close(fd);
        QString whyNot;
        QVERIFY2(session->connectTo(path, &whyNot), qPrintable(whyNot));
        QVERIFY(readSerial());
    }

    // By its own path or by a link to it, a port is one port.
    void aHeldPortIsRefusedByAnyNameUntilReleased()
    {
        DeviceSession other(QStringLiteral("стенд 2"));
        QSignalSpy otherOpened(&other, &DeviceSession::opened);
        QString whyNot;
        // Neither a name that is not there nor a link to one opens anything.
        pointLink(absent);
        for (const QString &missing : {absent, link}) {
            QVERIFY(!session->connectTo(missing, &whyNot));
            QCOMPARE(whyNot, QStringLiteral("порт не найден"));
            whyNot.clear();
        }
        pointLink(ptyOf(*sim));
        QVERIFY(session->connectTo(ptyOf(*sim)));
        for (const QString &asked : {ptyOf(*sim), link}) {
            QVERIFY(!other.connectTo(asked, &whyNot));
            QCOMPARE(whyNot, QStringLiteral("занят: стенд 1"));
        }
        QCOMPARE(otherOpened.count(), 0);
        QCOMPARE(stateOf(other), QString());
        session->disconnectLine();
        QVERIFY2(other.connectTo(link, &whyNot), qPrintable(whyNot));
        QCOMPARE(otherOpened.count(), 1);
        QVERIFY(!session->connectTo(ptyOf(*sim), &whyNot));
        QCOMPARE(whyNot, QStringLiteral("занят: стенд 2"));
        QCOMPARE(stateOf(*session), QString());
        other.disconnectLine();
    }

    void aRunWritesEveryRowAndItsStartAndEnd()
    {
        QVERIFY(session->connectTo(ptyOf(*sim)));
        QSignalSpy started(session.get(), &DeviceSession::runStarted);
        QSignalSpy rows(session.get(), &DeviceSession::rowLogged);
        QSignalSpy ended(session.get(), &DeviceSession::runEnded);
        QSignalSpy shown(session.get(), &DeviceSession::liveValuesRead);
        startRunWithRows(2);
        QCOMPARE(started.count(), 1);
        QCOMPARE(stateOf(*session), QStringLiteral("open holds running"));
        session->endRun(RunEnd::Stop);
        QCOMPARE(stateOf(*session), QStringLiteral("open holds"));
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.first(), Signal({QStringLiteral("Стоп")}));
        QCOMPARE(shown.count(), 0); // a run's values go to the run alone
        const int count = session->run().rows();
        QCOMPARE(rows.count(), count);
        const QString csv = session->run().fileName();
        QCOMPARE(QFileInfo(csv).absolutePath(), QFileInfo(dir->path()).absoluteFilePath());
        QByteArray expected = CsvFormat::line(CsvFormat::headerFields());
        for (const Signal &row : rows)
            expected += CsvFormat::line(
                CsvFormat::rowFields(row.at(0).toDateTime(), row.at(1).value<QList<double>>()));
        QCOMPARE(contents(csv), expected);
        const QStringList events = eventsOf(*session);
        QVERIFY2(events.value(0).startsWith(
                     QStringLiteral("Начало испытания, файл %1. ").arg(QFileInfo(csv).fileName())),
                 qPrintable(events.value(0)));
        QCOMPARE(events.value(events.size() - 1),
                 QStringLiteral("Конец испытания: Стоп. Строк: %1").arg(count));
    }

    // While a box holds replies back for longer than a row takes, each row
    // still carries the time its reply came.
    void rowsKeepTheirTimesWhileABoxHoldsThem()
    {
        QVERIFY(session->connectTo(ptyOf(*sim)));
        QSignalSpy rows(session.get(), &DeviceSession::rowLogged);
        startRunWithRows(1);
        session->holdReplies();
        QTest::qWait(6500);
        QCOMPARE(rows.count(), 1);
        session->releaseReplies();
        QVERIFY(rows.count() >= 4);
        for (int i = 1; i < rows.count(); ++i) {
            const qint64 apart =
                rows.at(i - 1).at(0).toDateTime().msecsTo(rows.at(i).at(0).toDateTime());
            // 2 s apart, less what a loaded machine may delay one request.
            QVERIFY2(apart > 500, qPrintable(QString::number(apart)));
        }
    }

    // A device that never answers is told so while it is polled.
    void pollingASilentLineEndsInNotAnswer()
    {
        veltra::sim::Faults silent;
        silent.noAnswer = true;
        sim->setFaults(silent);
        QSignalSpy indicator(session.get(), &DeviceSession::indicator);
        QSignalSpy overdue(session.get(), &DeviceSession::liveValuesOverdue);
        QVERIFY(session->connectTo(ptyOf(*sim)));
        session->startPolling();
        QTRY_VERIFY_WITH_TIMEOUT(indicator.contains(Signal({"red", "NOT ANSWER"})), 10000);
        QCOMPARE(overdue.count(), 0); // nothing was shown that could go stale
        QVERIFY(session->liveValuesLate());
    }

    void lostLineComesBackAndTheRunGoesOnOnlyWithItsDevice_data()
    {
        QTest::addColumn<qint32>("serialBack"); // the transmitter on the line when it is back
        QTest::addColumn<bool>("readFirst");    // the serial number read before the run
        QTest::addColumn<int>("silentMs");      // how long the one back keeps silent
        QTest::newRow("the same transmitter") << 1 << true << 0;
        QTest::newRow("another transmitter") << 1043 << true << 0;
        QTest::newRow("another, the run started unread") << 1043 << false << 0;
        QTest::newRow("another, silent for a while") << 1043 << true << 7000;
    }

    void lostLineComesBackAndTheRunGoesOnOnlyWithItsDevice()
    {
        QFETCH(qint32, serialBack);
        QFETCH(bool, readFirst);
        QFETCH(int, silentMs);
        QSignalSpy indicator(session.get(), &DeviceSession::indicator);
        QSignalSpy notices(session.get(), &DeviceSession::lineNotice);
        QSignalSpy ended(session.get(), &DeviceSession::runEnded);
        QSignalSpy interrupted(session.get(), &DeviceSession::runInterrupted);
        QVERIFY(loseTheLineDuringARun(200, 20000, readFirst));
        QTRY_VERIFY_WITH_TIMEOUT(session->isWaitingForLine(), 10000);
        QCOMPARE(stateOf(*session), QStringLiteral("holds waiting running"));
        QCOMPARE(indicator.last(), Signal({"orange", "RECONNECT"}));
        QVERIFY(notices.last().first().toString().startsWith(
            QStringLiteral("Связь потеряна: порт %1.").arg(link)));
        const int rowsBefore = session->run().rows();
        QTest::qWait(1000); // a few reopens fail meanwhile
        QCOMPARE(stateOf(*session), QStringLiteral("holds waiting running"));
        simBack = startSimulator(serialBack);
        QVERIFY(simBack);
        veltra::sim::Faults silent;
        silent.noAnswer = silentMs > 0;
        simBack->setFaults(silent);
        pointLink(ptyOf(*simBack));
        if (silentMs > 0) {
            // Open again, but no device has said who it is: nothing is resumed.
            QTest::qWait(silentMs);
            QCOMPARE(stateOf(*session), QStringLiteral("open holds running"));
            QCOMPARE(indicator.last(), Signal({"orange", "RECONNECT"}));
            QVERIFY(!notices.last().first().toString().startsWith("Связь восстановлена"));
            QCOMPARE(session->run().rows(), rowsBefore);
            simBack->setFaults({});
        }

        const QString csv = session->run().fileName();
        if (serialBack == 1) {
            QTRY_VERIFY_WITH_TIMEOUT(session->run().rows() >= rowsBefore + 2, 15000);
            QCOMPARE(stateOf(*session), QStringLiteral("open holds running"));
            session->endRun(RunEnd::Stop);
            QCOMPARE(contents(csv).count('\n'), 1 + session->run().rows()); // one file all along
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 15000);
            QCOMPARE(ended.first(), Signal({QStringLiteral("на линии другой прибор (№ 1043)")}));
            QVERIFY(interrupted.value(0).value(0).toString().startsWith(
                QStringLiteral("На линии другой прибор: № 1043 вместо № 1.")));
            QCOMPARE(stateOf(*session), QStringLiteral("open holds"));
            QCOMPARE(session->run().rows(), rowsBefore);
        }
        QCOMPARE(interrupted.count(), serialBack == 1 ? 0 : 1);
        QCOMPARE(session->record().info.value_or(Device::DeviceInfoReply()).serialNumber,
                 serialBack);
        const QStringList events = eventsOf(*session);
        QVERIFY2(events.contains(QStringLiteral("Связь потеряна: порт %1").arg(link)),
                 qPrintable(events.join('\n')));
        QCOMPARE(
            events.contains(QStringLiteral("Связь восстановлена: порт %1, прибор № 1").arg(link)),
            serialBack == 1);
    }

    void aLineThatStaysAwayEndsTheRun()
    {
        QSignalSpy indicator(session.get(), &DeviceSession::indicator);
        QSignalSpy ended(session.get(), &DeviceSession::runEnded);
        QVERIFY(loseTheLineDuringARun(100, 600));
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
        QCOMPARE(ended.first(), Signal({QStringLiteral("потеря связи")}));
        QCOMPARE(stateOf(*session), QString());
        QVERIFY(indicator.contains(Signal({"orange", "RECONNECT"})));
        QCOMPARE(indicator.last(), Signal({"red", "NO LINE"}));
        const QStringList events = eventsOf(*session);
        QCOMPARE(
            events.value(events.size() - 1),
            QStringLiteral("Конец испытания: потеря связи. Строк: %1").arg(session->run().rows()));
        // Given up is given up: a line back now is not taken.
        simBack = startSimulator(1);
        QVERIFY(simBack);
        pointLink(ptyOf(*simBack));
        QTest::qWait(1000);
        QCOMPARE(stateOf(*session), QString());
    }

private:
    static QString ptyOf(const Simulator &sim) { return QString::fromStdString(sim.devicePath()); }
    // The run's events without their times ("dd.MM.yyyy hh:mm:ss.zzz  ").
    static QStringList eventsOf(const DeviceSession &s)
    {
        QStringList texts;
        for (const QByteArray &line : contents(RunEvents::pathFor(s.run().fileName())).split('\n'))
            texts.append(QString::fromUtf8(line.mid(25)));
        texts.removeAll(QString());
        return texts;
    }
    // The session is given a link the test points wherever it likes: a closed
    // pty's number may be another test's at once, so it is never opened again.
    void pointLink(const QString &target)
    {
        QVERIFY(target == absent ? line->cut() : line->pointAt(target));
    }
    std::optional<qint32> readSerial()
    {
        std::optional<qint32> serial;
        QObject receiver; // the reply's type is no metatype, so no spy
        connect(session.get(), &DeviceSession::deviceInfoRead, &receiver,
                [&serial](const Device::DeviceInfoReply &info) { serial = info.serialNumber; });
        session->sendUserRequest(Device::readRequest(Device::Command::DeviceInfo));
        return QTest::qWaitFor([&serial] { return serial.has_value(); }, 8000) ? serial
                                                                               : std::nullopt;
    }

    void startRunWithRows(int rows)
    {
        QString failure;
        QVERIFY2(session->startRun(&failure), qPrintable(failure));
        QTRY_VERIFY_WITH_TIMEOUT(session->run().rows() >= rows, 5000 + 2000 * rows);
    }
    // A run on the link to transmitter 1, then the line gone. The link leaves
    // the pty before it closes.
    bool loseTheLineDuringARun(int reopenEveryMs, int giveUpAfterMs, bool readFirst = true)
    {
        session->setLineWaitIntervals(reopenEveryMs, giveUpAfterMs);
        pointLink(ptyOf(*sim));
        if (!session->connectTo(link) || (readFirst && readSerial() != std::optional<qint32>(1)))
            return false;
        startRunWithRows(1);
        // Unread, the run reads the serial number after its first reply.
        if (!QTest::qWaitFor([this] { return session->runDevice().has_value(); }, 3000))
            return false;
        pointLink(absent);
        sim->hangUp();
        return !QTest::currentTestFailed();
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestSupport::LinkToLine> line;
    QString link, absent;
    std::unique_ptr<Simulator> sim, simBack;
    std::unique_ptr<DeviceSession> session;
    std::unique_ptr<QSignalSpy> messages;
};

QTEST_GUILESS_MAIN(SessionTest)

#include "tst_session.moc"
