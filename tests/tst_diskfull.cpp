#include "app/userfile.h"
#include "debug/trafficlog.h"
#include "session/devicesession.h"
#include "sim/simulator.h"
#include "testlog/csvformat.h"
#include "testlog/runevents.h"
#include "testlog/testrun.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

// Line files on a full disk, which a file size limit on this process plays: a
// line cut short leaves nothing, the failure says why, later lines go in whole.
class DiskFullTest : public QObject
{
    Q_OBJECT
    const QDateTime start{QDate(2026, 12, 6), QTime(14, 5, 9)};

    // Files may grow by `room` bytes past `path` only while `write` runs.
    template <class Write> static void withRoomFor(const QString &path, int room, Write write)
    {
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit tight{rlim_t(QFileInfo(path).size() + room), saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &tight);
        write();
        setrlimit(RLIMIT_FSIZE, &saved);
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }

    void runAndTrafficFilesKeepWholeLines()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        TestRun run;
        QString failure;
        QVERIFY(run.start(dir.path(), start, &failure));
        QSignalSpy problems(&run, &TestRun::problem);
        run.logRow(start, {1, 2, 3, 4, 5});
        const QString csv = run.fileName();
        const QString events = RunEvents::pathFor(csv);
        const QByteArray rows = contents(csv);
        withRoomFor(csv, 20, [&] { run.logRow(start.addSecs(2), {1, 2, 3, 4, 5}); });
        withRoomFor(events, 20, [&] { run.note(QStringLiteral("Нет ответа 5 с")); });
        QCOMPARE(contents(csv), rows);
        QCOMPARE(contents(events), QByteArray());
        QCOMPARE(problems.size(), 2);
        for (const QList<QVariant> &problem : problems)
            QVERIFY(problem.at(1).toString().contains(qt_error_string(EFBIG)));
        run.logRow(start.addSecs(4), {1, 2, 3, 4, 5});
        QCOMPARE(contents(csv),
                 rows + CsvFormat::line(CsvFormat::rowFields(start.addSecs(4), {1, 2, 3, 4, 5})));

        TrafficLog traffic;
        QVERIFY(traffic.start(start) && traffic.addSent(start, "\xFF"));
        const QByteArray lines = contents(traffic.fileName());
        withRoomFor(traffic.fileName(), 20, [&] { QVERIFY(!traffic.addSent(start, "\xFF")); });
        QCOMPARE(contents(traffic.fileName()), lines);
        QCOMPARE(traffic.errorString(), qt_error_string(EFBIG));
    }

    // Nobody watches a rack line: its run ends rather than seem to go on.
    void anUnattendedRunEndsWhenItsRowsStopReachingTheFile()
    {
        QTemporaryDir dir;
        veltra::sim::Simulator sim;
        QVERIFY(sim.openPty());
        sim.start();
        DeviceSession session(QStringLiteral("стенд"));
        session.setUnattended(true);
        session.setRunDirectory(dir.path());
        QVERIFY(session.connectTo(QString::fromStdString(sim.devicePath())));
        session.readDevice();
        QTRY_VERIFY(session.record().info);
        QSignalSpy interrupted(&session, &DeviceSession::runInterrupted);
        QString failure;
        QVERIFY(session.startRun(&failure));
        const QString csv = session.run().fileName();
        QVERIFY2(QFileInfo(csv).fileName().startsWith(
                     QString::number(session.record().info->serialNumber) + QLatin1Char(' ')),
                 qPrintable(csv));
        QTRY_VERIFY_WITH_TIMEOUT(session.run().rows() >= 1, 5000);
        const QByteArray rows = contents(csv);
        withRoomFor(csv, 10, [&] { QTRY_VERIFY_WITH_TIMEOUT(!session.isRunning(), 6000); });
        QCOMPARE(interrupted.size(), 1);
        QVERIFY(interrupted.first().first().toString().endsWith(
            QStringLiteral("Испытание завершено.")));
        QCOMPARE(contents(csv), rows);
        session.disconnectLine();
    }

    void fullDiskIsNamed()
    {
        QFile full(QStringLiteral("/dev/full"));
        QString why;
        QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                !UserFile::writeWholeLine(full, "06.12.2026 14:05:09;1.000\n", &why));
        QCOMPARE(why, QStringLiteral("Диск заполнен"));
    }
};

QTEST_GUILESS_MAIN(DiskFullTest)
#include "tst_diskfull.moc"
