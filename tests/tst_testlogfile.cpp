#include "testlog/csvformat.h"
#include "testlog/testlogfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestLogFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void createWritesTheHeaderUnderTheStartTimeName();
    void takenNamesGetTheNextFreeNumberAndStayUntouched_data();
    void takenNamesGetTheNextFreeNumberAndStayUntouched();
    void directoryThatRefusesTheFileFailsAndNamesIt_data();
    void directoryThatRefusesTheFileFailsAndNamesIt();
    void everyRowIsInTheFileWhenWriteRowReturns();
    void rowsThatCannotBeWrittenAreReportedFirstOnceThenQuietly_data();
    void rowsThatCannotBeWrittenAreReportedFirstOnceThenQuietly();
    void aNewRunReportsItsOwnFirstFailure();
    void writingWithoutACreatedFileIsAFailure();

private:
    QString fileText(const QString &path);

    std::unique_ptr<QTemporaryDir> dir;
    const QDateTime start{QDate(2026, 12, 6), QTime(14, 5, 9)};
    const QByteArray header = CsvFormat::line(CsvFormat::headerFields());
};

void TestLogFileTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

QString TestLogFileTest::fileText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<cannot open %1>").arg(path);
    return QString::fromUtf8(file.readAll());
}

void TestLogFileTest::createWritesTheHeaderUnderTheStartTimeName()
{
    TestLogFile log;
    QVERIFY(log.create(dir->path(), start));
    QVERIFY(log.isOpen());
    QCOMPARE(log.fileName(), dir->filePath("06.12.26 14.05.09.csv"));
    QCOMPARE(fileText(log.fileName()), QString::fromUtf8(header));
}

void TestLogFileTest::takenNamesGetTheNextFreeNumberAndStayUntouched_data()
{
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringList{} << "06.12.26 14.05.09.csv";
    QTest::newRow("second run of the second")
        << QStringList{"06.12.26 14.05.09.csv"} << "06.12.26 14.05.09 (2).csv";
    QTest::newRow("third run of the second")
        << QStringList{"06.12.26 14.05.09.csv", "06.12.26 14.05.09 (2).csv"}
        << "06.12.26 14.05.09 (3).csv";
    QTest::newRow("a gap is filled")
        << QStringList{"06.12.26 14.05.09.csv", "06.12.26 14.05.09 (3).csv"}
        << "06.12.26 14.05.09 (2).csv";
}

void TestLogFileTest::takenNamesGetTheNextFreeNumberAndStayUntouched()
{
    QFETCH(QStringList, taken);
    QFETCH(QString, expected);
    for (const QString &name : taken) {
        QFile file(dir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier run of " + name.toUtf8() + "\n");
    }
    TestLogFile log;
    QVERIFY(log.create(dir->path(), start));
    QCOMPARE(log.fileName(), dir->filePath(expected));
    QCOMPARE(fileText(log.fileName()), QString::fromUtf8(header));
    for (const QString &name : taken)
        QCOMPARE(fileText(dir->filePath(name)), "earlier run of " + name + "\n");
}

void TestLogFileTest::directoryThatRefusesTheFileFailsAndNamesIt_data()
{
    QTest::addColumn<QString>("subpath");
    QTest::newRow("directory missing") << "missing";
    QTest::newRow("a file where the directory should be") << "plain-file";
}

void TestLogFileTest::directoryThatRefusesTheFileFailsAndNamesIt()
{
    QFETCH(QString, subpath);
    QFile plain(dir->filePath("plain-file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    const QString target = dir->filePath(subpath);
    TestLogFile log;
    QVERIFY(!log.create(target, start));
    QVERIFY(!log.isOpen());
    QCOMPARE(log.fileName(), QDir(target).filePath("06.12.26 14.05.09.csv"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList{"plain-file"});
}

void TestLogFileTest::everyRowIsInTheFileWhenWriteRowReturns()
{
    TestLogFile log;
    QVERIFY(log.create(dir->path(), start));
    QString expected = QString::fromUtf8(header);
    for (int i = 0; i < 5; ++i) {
        const QStringList fields =
            CsvFormat::rowFields(start.addSecs(2 * i), {double(i), -0.05, 3, 4, 5});
        QCOMPARE(log.writeRow(fields), TestLogFile::RowOutcome::Written);
        expected += QString::fromUtf8(CsvFormat::line(fields));
        // Read through a separate handle while the log is still open.
        QCOMPARE(fileText(log.fileName()), expected);
    }
}

void TestLogFileTest::rowsThatCannotBeWrittenAreReportedFirstOnceThenQuietly_data()
{
    QTest::addColumn<QString>("mishap");
    QTest::newRow("file removed") << "remove";
    QTest::newRow("file replaced") << "replace";
    QTest::newRow("file truncated") << "truncate";
}

void TestLogFileTest::rowsThatCannotBeWrittenAreReportedFirstOnceThenQuietly()
{
    QFETCH(QString, mishap);
#ifdef Q_OS_WIN
    QSKIP("Windows removes no file that a program holds open, so the log cannot lose its file");
#endif
    TestLogFile log;
    QVERIFY(log.create(dir->path(), start));
    const QStringList fields = CsvFormat::rowFields(start, {1, 2, 3, 4, 5});
    QCOMPARE(log.writeRow(fields), TestLogFile::RowOutcome::Written);

    const QString path = log.fileName();
    QVERIFY(QFile::remove(path));
    if (mishap != QLatin1String("remove")) {
        QFile other(path);
        QVERIFY(other.open(QIODevice::WriteOnly));
        if (mishap == QLatin1String("replace"))
            other.write(header + "someone else's file\n");
    }

    QCOMPARE(log.writeRow(fields), TestLogFile::RowOutcome::FirstFailure);
    QCOMPARE(log.writeRow(fields), TestLogFile::RowOutcome::Failed);
    QCOMPARE(log.writeRow(fields), TestLogFile::RowOutcome::Failed);
}

void TestLogFileTest::aNewRunReportsItsOwnFirstFailure()
{
#ifdef Q_OS_WIN
    QSKIP("Windows removes no file that a program holds open, so the log cannot lose its file");
#endif
    TestLogFile log;
    QVERIFY(log.create(dir->path(), start));
    QVERIFY(QFile::remove(log.fileName()));
    const QStringList fields = CsvFormat::rowFields(start, {1, 2, 3, 4, 5});
    QCOMPARE(log.writeRow(fields), TestLogFile::RowOutcome::FirstFailure);

    QVERIFY(log.create(dir->path(), start.addSecs(60)));
    QCOMPARE(log.writeRow(fields), TestLogFile::RowOutcome::Written);
    QVERIFY(QFile::remove(log.fileName()));
    QCOMPARE(log.writeRow(fields), TestLogFile::RowOutcome::FirstFailure);
}

void TestLogFileTest::writingWithoutACreatedFileIsAFailure()
{
    TestLogFile never;
    const QStringList fields = CsvFormat::rowFields(start, {1, 2, 3, 4, 5});
    QCOMPARE(never.writeRow(fields), TestLogFile::RowOutcome::FirstFailure);
    QCOMPARE(never.writeRow(fields), TestLogFile::RowOutcome::Failed);

    TestLogFile refused;
    QVERIFY(!refused.create(dir->filePath("missing"), start));
    QCOMPARE(refused.writeRow(fields), TestLogFile::RowOutcome::FirstFailure);
}

QTEST_GUILESS_MAIN(TestLogFileTest)
#include "tst_testlogfile.moc"
