#include "device/requests.h"
#include "session/devicesession.h"
#include "sim/simulator.h"
#include "support/testsupport.h"
#include "testlog/csvformat.h"
#include "testlog/runevents.h"
#include "testlog/testrun.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using veltra::sim::Simulator;

// The session with no window: the real port over a pseudo-terminal, the
// simulator on its far end, and only the session's signals to listen to.
class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void connectsReadsTheDeviceAndCloses();
    void aHeldPortIsRefusedByAnyNameUntilReleased_data();
    void aHeldPortIsRefusedByAnyNameUntilReleased();
    void aRunWritesEveryRowAndItsStartAndEnd();
    void lostLineComesBackAndTheRunGoesOnOnlyWithItsDevice_data();
    void lostLineComesBackAndTheRunGoesOnOnlyWithItsDevice();
    void aLineThatStaysAwayEndsTheRun();

private:
    // A new simulator on a new pseudo-terminal, serving as transmitter `serial`.
    std::unique_ptr<Simulator> startSimulator(qint32 serial);
    QString pty(const std::unique_ptr<Simulator> &simulator) const;
    // The port the session is given: a link the test points wherever it likes.
    void pointLink(const QString &target);
    std::optional<qint32> readSerial();
    void startRunWithRows(int rows);

    std::unique_ptr<QTemporaryDir> dir;
    QString link;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<Simulator> simBack;
    std::unique_ptr<DeviceSession> session;
    std::unique_ptr<DeviceSession> other;
    std::unique_ptr<QSignalSpy> messages;
};

namespace {

QStringList lines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<unreadable %1>").arg(path)};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

void SessionTest::initTestCase()
{
    TestSupport::watchWarnings();
}

void SessionTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    link = dir->filePath(QStringLiteral("line"));
    sim = startSimulator(1);
    QVERIFY(sim);
    session = std::make_unique<DeviceSession>(QStringLiteral("стенд 1"));
    session->setRunDirectory(dir->path());
    messages = std::make_unique<QSignalSpy>(session.get(), &DeviceSession::message);
}

void SessionTest::cleanup()
{
    // Nothing in these cases calls for a box.
    const QList<QList<QVariant>> told = messages ? *messages : QList<QList<QVariant>>();
    messages.reset();
    for (DeviceSession *each : {session.get(), other.get()}) {
        if (each)
            each->disconnectLine();
    }
    other.reset();
    session.reset();
    simBack.reset();
    sim.reset();
    dir.reset();
    QCOMPARE(told.size(), 0);
    QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
}

std::unique_ptr<Simulator> SessionTest::startSimulator(qint32 serial)
{
    auto simulator = std::make_unique<Simulator>();
    if (!simulator->openPty())
        return nullptr;
    veltra::sim::DeviceState state = simulator->state();
    state.production.serial = serial;
    simulator->setState(state);
    simulator->start();
    return simulator;
}

QString SessionTest::pty(const std::unique_ptr<Simulator> &simulator) const
{
    return QString::fromStdString(simulator->devicePath());
}

void SessionTest::pointLink(const QString &target)
{
    QFile::remove(link);
    QVERIFY(QFile::link(target, link));
}

std::optional<qint32> SessionTest::readSerial()
{
    std::optional<qint32> serial;
    QObject receiver;
    connect(session.get(), &DeviceSession::deviceInfoRead, &receiver,
            [&serial](const Device::DeviceInfoReply &info) { serial = info.serialNumber; });
    session->sendUserRequest(Device::readRequest(Device::Command::DeviceInfo));
    QTest::qWaitFor([&serial] { return serial.has_value(); }, 8000);
    return serial;
}

void SessionTest::startRunWithRows(int rows)
{
    QString failure;
    QVERIFY2(session->startRun(&failure), qPrintable(failure));
    QTRY_VERIFY_WITH_TIMEOUT(session->run().rows() >= rows, 5000 + 2000 * rows);
}

void SessionTest::connectsReadsTheDeviceAndCloses()
{
    veltra::sim::DeviceState state = sim->state();
    state.production.serial = 4711;
    sim->setState(state);
    QSignalSpy opened(session.get(), &DeviceSession::opened);
    QSignalSpy closed(session.get(), &DeviceSession::closed);
    QSignalSpy identity(session.get(), &DeviceSession::identityChanged);
    QString whyNot;
    QVERIFY2(session->connectTo(pty(sim), &whyNot), qPrintable(whyNot));
    QCOMPARE(opened.count(), 1);
    QVERIFY(session->isOpen());
    QCOMPARE(session->portName(), pty(sim));
    QVERIFY(!session->record().info);

    identity.clear();
    QCOMPARE(readSerial(), std::optional<qint32>(4711));
    QVERIFY(session->record().info);
    QCOMPARE(session->record().info->serialNumber, 4711);
    QCOMPARE(session->record().info->firmware,
             QString::fromStdString(sim->state().production.firmware));
    QVERIFY(identity.count() >= 1);

    session->disconnectLine();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!session->isOpen());
    QVERIFY(!session->holdsPort());
}

void SessionTest::aHeldPortIsRefusedByAnyNameUntilReleased_data()
{
    QTest::addColumn<bool>("byLink");
    QTest::newRow("by the same path") << false;
    QTest::newRow("by a link to it") << true;
}

void SessionTest::aHeldPortIsRefusedByAnyNameUntilReleased()
{
    QFETCH(bool, byLink);
    QString asked = pty(sim);
    if (byLink) {
        pointLink(pty(sim));
        asked = link;
    }
    QVERIFY(session->connectTo(pty(sim)));
    other = std::make_unique<DeviceSession>(QStringLiteral("стенд 2"));
    QSignalSpy otherOpened(other.get(), &DeviceSession::opened);
    QString whyNot;
    QVERIFY(!other->connectTo(asked, &whyNot));
    QCOMPARE(whyNot, QStringLiteral("занят: стенд 1"));
    QCOMPARE(otherOpened.count(), 0);
    QVERIFY(!other->isOpen());
    QVERIFY(session->isOpen());

    session->disconnectLine();
    QVERIFY2(other->connectTo(asked, &whyNot), qPrintable(whyNot));
    QCOMPARE(otherOpened.count(), 1);
    QVERIFY(!session->connectTo(pty(sim), &whyNot));
    QCOMPARE(whyNot, QStringLiteral("занят: стенд 2"));

    // Neither a name that is not there nor a link to one opens anything.
    QVERIFY(!session->connectTo(dir->filePath(QStringLiteral("absent")), &whyNot));
    QCOMPARE(whyNot, QStringLiteral("порт не найден"));
    const QString dangling = dir->filePath(QStringLiteral("dangling"));
    QVERIFY(QFile::link(dir->filePath(QStringLiteral("absent")), dangling));
    whyNot.clear();
    QVERIFY(!session->connectTo(dangling, &whyNot));
    QCOMPARE(whyNot, QStringLiteral("порт не найден"));
    QVERIFY(!session->holdsPort());
}

void SessionTest::aRunWritesEveryRowAndItsStartAndEnd()
{
    QVERIFY(session->connectTo(pty(sim)));
    QSignalSpy started(session.get(), &DeviceSession::runStarted);
    QSignalSpy rows(session.get(), &DeviceSession::rowLogged);
    QSignalSpy ended(session.get(), &DeviceSession::runEnded);
    QSignalSpy shown(session.get(), &DeviceSession::liveValuesRead);
    startRunWithRows(2);
    QCOMPARE(started.count(), 1);
    QVERIFY(session->isRunning());
    session->endRun(RunEnd::Stop);
    QVERIFY(!session->isRunning());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.first().first().toString(), QStringLiteral("Стоп"));
    // During a run the values go to the run, not to the live display.
    QCOMPARE(shown.count(), 0);

    const int count = session->run().rows();
    QCOMPARE(rows.count(), count);
    const QString csv = session->run().fileName();
    QCOMPARE(QFileInfo(csv).absolutePath(), QFileInfo(dir->path()).absoluteFilePath());
    QStringList expected{QString::fromUtf8(CsvFormat::line(CsvFormat::headerFields())).trimmed()};
    for (const QList<QVariant> &row : rows)
        expected.append(QString::fromUtf8(CsvFormat::line(CsvFormat::rowFields(
                                              row.at(0).toDateTime(), row.at(1).value<QList<double>>())))
                            .trimmed());
    QCOMPARE(lines(csv), expected);

    const QStringList events = lines(RunEvents::pathFor(csv));
    QVERIFY2(events.size() >= 2, qPrintable(events.join('\n')));
    QVERIFY2(events.first().contains(
                 QStringLiteral("Начало испытания, файл %1").arg(QFileInfo(csv).fileName())),
             qPrintable(events.first()));
    QVERIFY2(events.last().endsWith(QStringLiteral("Конец испытания: Стоп. Строк: %1").arg(count)),
             qPrintable(events.last()));
}

void SessionTest::lostLineComesBackAndTheRunGoesOnOnlyWithItsDevice_data()
{
    QTest::addColumn<qint32>("serialBack"); // the transmitter on the line when it comes back
    QTest::newRow("the same transmitter") << 1;
    QTest::newRow("another transmitter") << 1043;
}

void SessionTest::lostLineComesBackAndTheRunGoesOnOnlyWithItsDevice()
{
    QFETCH(qint32, serialBack);
    session->setLineWaitIntervals(200, 20000);
    pointLink(pty(sim));
    QVERIFY(session->connectTo(link));
    QCOMPARE(readSerial(), std::optional<qint32>(1));
    startRunWithRows(1);
    QSignalSpy indicator(session.get(), &DeviceSession::indicator);
    QSignalSpy notices(session.get(), &DeviceSession::lineNotice);
    QSignalSpy ended(session.get(), &DeviceSession::runEnded);
    QSignalSpy interrupted(session.get(), &DeviceSession::runInterrupted);

    // The link leaves the pty first: its number may be another test's once closed.
    pointLink(dir->filePath(QStringLiteral("absent")));
    sim->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(session->isWaitingForLine(), 10000);
    QVERIFY(session->isRunning());
    QVERIFY(!session->isOpen());
    QVERIFY(session->holdsPort());
    QCOMPARE(indicator.last(), QList<QVariant>({"orange", "RECONNECT"}));
    QVERIFY(notices.last().first().toString().startsWith(
        QStringLiteral("Связь потеряна: порт %1.").arg(link)));
    const int rowsBefore = session->run().rows();
    QTest::qWait(1000); // a few reopens fail meanwhile
    QVERIFY(session->isWaitingForLine());

    simBack = startSimulator(serialBack);
    QVERIFY(simBack);
    pointLink(pty(simBack));
    const QString csv = session->run().fileName();
    if (serialBack == 1) {
        QTRY_VERIFY_WITH_TIMEOUT(session->run().rows() >= rowsBefore + 2, 15000);
        QVERIFY(session->isRunning());
        QVERIFY(!session->isWaitingForLine());
        QVERIFY(session->isOpen());
        QCOMPARE(interrupted.count(), 0);
        session->endRun(RunEnd::Stop);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 15000);
        QCOMPARE(ended.first().first().toString(),
                 QStringLiteral("на линии другой прибор (№ 1043)"));
        QCOMPARE(interrupted.count(), 1);
        QVERIFY(interrupted.first().first().toString().startsWith(
            QStringLiteral("На линии другой прибор: № 1043 вместо № 1.")));
        QVERIFY(!session->isRunning());
        QVERIFY(!session->isWaitingForLine());
        QCOMPARE(session->run().rows(), rowsBefore);
    }
    QVERIFY(session->record().info);
    QCOMPARE(session->record().info->serialNumber, serialBack);
    const bool askedWhoIsBack = [this] {
        for (const veltra::sim::Request &request : simBack->requests())
            if (request.type == 0 && request.command == Device::Command::DeviceInfo)
                return true;
        return false;
    }();
    QVERIFY(askedWhoIsBack);

    const QString events = lines(RunEvents::pathFor(csv)).join('\n');
    QVERIFY2(events.contains(QStringLiteral("Связь потеряна: порт %1").arg(link)),
             qPrintable(events));
    QCOMPARE(events.contains(QStringLiteral("Связь восстановлена: порт %1, прибор № 1").arg(link)),
             serialBack == 1);
}

void SessionTest::aLineThatStaysAwayEndsTheRun()
{
    session->setLineWaitIntervals(100, 600);
    pointLink(pty(sim));
    QVERIFY(session->connectTo(link));
    startRunWithRows(1);
    QSignalSpy indicator(session.get(), &DeviceSession::indicator);
    QSignalSpy ended(session.get(), &DeviceSession::runEnded);

    pointLink(dir->filePath(QStringLiteral("absent")));
    sim->hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
    QCOMPARE(ended.first().first().toString(), QStringLiteral("потеря связи"));
    QVERIFY(!session->isRunning());
    QVERIFY(!session->isWaitingForLine());
    QVERIFY(!session->holdsPort());
    QVERIFY(indicator.contains(QList<QVariant>({"orange", "RECONNECT"})));
    QCOMPARE(indicator.last(), QList<QVariant>({"red", "NO LINE"}));
    const QStringList events = lines(RunEvents::pathFor(session->run().fileName()));
    QVERIFY2(events.last().endsWith(
                 QStringLiteral("Конец испытания: потеря связи. Строк: %1").arg(session->run().rows())),
             qPrintable(events.last()));

    // Given up is given up: a line back now is not taken.
    simBack = startSimulator(1);
    QVERIFY(simBack);
    pointLink(pty(simBack));
    QTest::qWait(1000);
    QVERIFY(!session->isOpen());
}

QTEST_GUILESS_MAIN(SessionTest)

#include "tst_session.moc"
