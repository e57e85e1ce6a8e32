#include "runreport/batchreport.h"
#include "support/testsupport.h"
#include "testlog/csvformat.h"
#include "testlog/runevents.h"
#include "testlog/testlogfile.h"
#include "testlog/testrun.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using TestSupport::pdfText;

// The reports of a rack's runs, written from their files alone.
class BatchReportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void batchOfRuns();

private:
    QTemporaryDir workDir;
};

namespace {

const QString Description =
    "Прибор № %1; версия: 1.07; дата выпуска: 15.03.2024; чувствительный элемент: 3х проводное "
    "ТС; тип: ТС-100П 385; диапазон: -50.000 … 150.000; буфер: 4; компенсация ХС: вкл; "
    "коррекция: выкл; опорные: 0.000 25.000 50.000 75.000 100.000; измеренные: 0.000 25.000 "
    "50.000 75.000 100.000.";

struct Run
{
    QString port;
    qint32 serial;  // 0: the run has no events file, so no device
    double current; // mA at 50 °C, where the range calls for 12 mA
    int lost;
    int regained;
    QString verdict;
};

// A run's files as a session writes them: three rows, the line lost and regained in between.
QString writeRun(const QString &directory, const Run &run, const QDateTime &start)
{
    const QList<double> row{100.0, 50.0, 50.0, 21.0, run.current};
    if (run.serial == 0) {
        TestLogFile log;
        if (!log.create(directory, start))
            return {};
        for (int r = 0; r < 3; ++r)
            log.writeRow(CsvFormat::rowFields(start.addSecs(r), row));
        return log.fileName();
    }
    TestRun testRun;
    QString failure;
    if (!testRun.start(directory, start, &failure))
        return {};
    testRun.note("Начало испытания. " + Description.arg(run.serial), start);
    for (int r = 0; r < 3; ++r) {
        testRun.logRow(start.addSecs(r), row);
        for (int i = 0; r == 0 && i < run.lost; ++i)
            testRun.note(lineLostText(run.port));
        for (int i = 0; r == 0 && i < run.regained; ++i)
            testRun.note(lineRegainedText(run.port, run.serial));
    }
    testRun.end(RunEnd::Stop);
    return testRun.fileName();
}

} // namespace

void BatchReportTest::initTestCase()
{
    QVERIFY(workDir.isValid());
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
#ifdef Q_OS_WIN
        QSKIP("no pdftotext under Windows: the Linux build reads the reports");
#else
        QFAIL("pdftotext (poppler-utils, scripts/install-deps) is needed");
#endif
    }
}

void BatchReportTest::batchOfRuns()
{
    const QList<Run> runs{
        {"COM1", 1042, 12.0, 2, 1, "Годен"},
        {"COM2", 1043, 12.05, 0, 0, "Не годен"}, // 0.3125 % of span off
        {"COM3", 0, 12.0, 0, 0, "Проверка не выполнена: диапазон прибора не записан"},
    };
    QList<BatchRun> batch;
    QDateTime start(QDate(2026, 12, 9), QTime(14, 5, 9));
    for (const Run &run : runs) {
        batch << BatchRun{run.port, writeRun(workDir.path(), run, start = start.addSecs(60))};
        QVERIFY(!batch.last().csvPath.isEmpty());
    }
    batch << BatchRun{"COM4", workDir.filePath("gone.csv")} << BatchRun{"COM5", QString()};
    const QString reports = workDir.filePath("reports");
    const QDateTime made(QDate(2026, 12, 9), QTime(15, 30));
    const BatchReportResult result = writeBatchReports(batch, reports, 0.1, made);

    QCOMPARE(QFileInfo(result.summary).fileName(), QString("Стенд 2026-12-09 15.30.pdf"));
    QCOMPARE(result.errors.size(), 2);
    QVERIFY2(result.errors[0].startsWith("Порт COM4: не удалось открыть файл испытания") &&
                 result.errors[0].endsWith("gone.csv"),
             qPrintable(result.errors[0]));
    QCOMPARE(result.errors[1], QString("Порт COM5: испытание не записано"));
    const QString summary = pdfText(result.summary);
    // A row's first line: its port, serial number and the start of its verdict, its counts last.
    const auto rowOf = [&summary](const QString &port) {
        return summary.split('\n')
            .filter(QRegularExpression("^\\s*" + port + "\\s"))
            .value(0)
            .split(' ', Qt::SkipEmptyParts)
            .join(' ');
    };
    QVERIFY2(rowOf("COM4").contains("не считан — — — — не удалось открыть файл"),
             qPrintable(summary));
    QVERIFY2(rowOf("COM5").contains("не считан — — — — испытание не записано"),
             qPrintable(summary));
    QCOMPARE(result.reports.size(), runs.size());
    for (int i = 0; i < runs.size(); ++i) {
        const Run &run = runs[i];
        const QString row = rowOf(run.port);
        QVERIFY2(row.contains(run.serial ? QString::number(run.serial) : "не считан"),
                 qPrintable(row));
        QVERIFY2(row.contains(run.verdict.left(21)), qPrintable(row));
        QVERIFY2(row.endsWith(QStringLiteral(" %1 %2").arg(run.lost).arg(run.regained)),
                 qPrintable(row));
        // Its own report, as the chart window writes it.
        const QString report = pdfText(result.reports[i]).simplified();
        QVERIFY2(report.contains("Заключение " + run.verdict), qPrintable(report));
        QVERIFY2(report.contains("Ток, мА " + CsvFormat::valueText(run.current)),
                 qPrintable(report));
    }

    // The same minute again, at another tolerance: new files beside the first ones.
    QFile first(result.summary);
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray firstBytes = first.readAll();
    const BatchReportResult again = writeBatchReports(batch, reports, 0.2, made);
    QCOMPARE(QFileInfo(again.summary).fileName(), QString("Стенд 2026-12-09 15.30 (2).pdf"));
    QVERIFY(again.reports.value(0).endsWith(" (2).pdf"));
    first.seek(0);
    QCOMPARE(first.readAll(), firstBytes);
}

QTEST_MAIN(BatchReportTest)
#include "tst_batchreport.moc"
