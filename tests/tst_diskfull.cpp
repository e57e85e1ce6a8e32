#include "app/userfile.h"
#include "debug/trafficlog.h"
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

// Line files on a disk that fills up: a line that does not fit leaves nothing
// behind, the failure says why, and the lines after it go in whole once there
// is room again. The room is a file size limit on this process, which cuts a
// write short the way a full disk does.
class DiskFullTest : public QObject
{
    Q_OBJECT

    const QDateTime start{QDate(2026, 12, 6), QTime(14, 5, 9)};
    const QList<double> values{1, 2, 3, 4, 5};

    // Files may grow to `bytes` only while `write` runs.
    template <class Write> static void withRoomFor(qint64 bytes, Write write)
    {
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(bytes);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        write();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }

    void runFileAndEventsKeepWholeLines()
    {
        QTemporaryDir dir;
        TestRun run;
        QString failure;
        QVERIFY(run.start(dir.path(), start, &failure));
        QSignalSpy problems(&run, &TestRun::problem);
        run.logRow(start, values);
        run.note(QStringLiteral("Прибор № 1042"));
        const QString csv = run.fileName();
        const QString events = RunEvents::pathFor(csv);
        const QByteArray rows = contents(csv);
        const QByteArray notes = contents(events);

        withRoomFor(rows.size() + 20, [&] { run.logRow(start.addSecs(2), values); });
        withRoomFor(notes.size() + 20, [&] { run.note(QStringLiteral("Нет ответа 5 с")); });
        QCOMPARE(contents(csv), rows);
        QCOMPARE(contents(events), notes);
        QCOMPARE(problems.size(), 2);
        for (const QList<QVariant> &problem : problems)
            QVERIFY2(problem.at(1).toString().contains(qt_error_string(EFBIG)),
                     qPrintable(problem.at(1).toString()));

        run.logRow(start.addSecs(4), values);
        QCOMPARE(contents(csv),
                 rows + CsvFormat::line(CsvFormat::rowFields(start.addSecs(4), values)));
    }

    void trafficFileKeepsWholeLines()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        TrafficLog traffic;
        const bool started = traffic.start(start);
        QDir::setCurrent(previous);
        QVERIFY(started);
        const QByteArray frame = QByteArray::fromHex("FF00050005FF");
        QVERIFY(traffic.addSent(start, frame));
        const QString path = dir.filePath(traffic.fileName());
        const QByteArray lines = contents(path);
        bool added = true;
        withRoomFor(lines.size() + 20, [&] { added = traffic.addSent(start, frame); });
        QVERIFY(!added);
        QCOMPARE(contents(path), lines);
        QCOMPARE(traffic.errorString(), qt_error_string(EFBIG));
    }

    void fullDiskIsNamed()
    {
        QFile full(QStringLiteral("/dev/full"));
        QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QString why;
        QVERIFY(!UserFile::writeWholeLine(full, "06.12.2026 14:05:09;1.000\n", &why));
        QCOMPARE(why, QStringLiteral("Диск заполнен"));
    }
};

QTEST_GUILESS_MAIN(DiskFullTest)
#include "tst_diskfull.moc"
