#include "plot/chartwindow.h"
#include "plot/csvlogreader.h"
#include "plot/spreadsheetexport.h"
#include "runreport/runreport.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

using TestSupport::pdfText;
using TestSupport::SimWindow;

// A run against the simulated transmitter, recorded: its PDF report with the
// output check, and its export for a Russian-locale spreadsheet.
class RunReportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void outputCheck_data();
    void outputCheck();
    void reportSaysWhatItCannotCheck_data();
    void reportSaysWhatItCannotCheck();
    void runGivesReportAndExport_data();
    void runGivesReportAndExport();

private:
    QTemporaryDir workDir;
};

namespace {

// The run's own CSV file as the export must have it: the same texts, with a
// byte-order mark, ISO dates, decimal commas and CRLF line ends.
QByteArray expectedExport(const QString &csvPath)
{
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    QByteArray expected = "\xEF\xBB\xBF";
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        if (line.at(2) == '.' && line.at(5) == '.')
            line = line.mid(6, 4) + '-' + line.mid(3, 2) + '-' + line.left(2) + line.mid(10);
        expected += line.replace('.', ',') + "\r\n";
    }
    return expected;
}

PointStore rowsOf(const QList<QPair<float, float>> &correctedAndCurrent)
{
    PointStore points;
    qint64 time = 1'700'000'000'000;
    for (const auto &row : correctedAndCurrent)
        points.append(time += 2000, {0, row.first, row.first, 20, row.second});
    return points;
}

} // namespace

void RunReportTest::initTestCase()
{
    TestSupport::watchWarnings();
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
             "pdftotext (poppler-utils, scripts/install-deps) is needed");
}

using Rows = QList<QPair<float, float>>;
using Range = std::optional<OutputCheck::Range>;
Q_DECLARE_METATYPE(Range)

void RunReportTest::outputCheck_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<Range>("range");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<double>("largest"); // % of span
    QTest::addColumn<double>("mean");
    QTest::addColumn<QString>("covered");
    const Range range = OutputCheck::Range{-50, 150}; // 12.5 °C a mA
    const auto Passed = int(OutputCheck::Outcome::Passed);
    const auto Failed = int(OutputCheck::Outcome::Failed);
    QTest::newRow("on the line, clamped at both ends")
        << Rows{{50, 12}, {-100, 3.8f}, {400, 20.5f}} << range << Passed << 0.0 << 0.0
        << "проверено 3.80 … 20.50 мА, 104.4 % диапазона";
    QTest::newRow("largest by magnitude, with its sign")
        << Rows{{50, 12.016f}, {50, 11.952f}, {float(qQNaN()), 4}} << range << Failed << -0.3
        << -0.1 << "проверено 11.95 … 12.02 мА, 0.4 % диапазона";
    QTest::newRow("within the tolerance") << Rows{{50, 12.016f}} << range << Passed << 0.1 << 0.1
                                          << "проверено 12.02 … 12.02 мА, 0.0 % диапазона";
    QTest::newRow("no range recorded")
        << Rows{{50, 12}} << Range() << int(OutputCheck::Outcome::NoRange) << 0.0 << 0.0
        << QString();
    QTest::newRow("zero span") << Rows{{50, 12}} << Range(OutputCheck::Range{20, 20})
                               << int(OutputCheck::Outcome::EmptySpan) << 0.0 << 0.0 << QString();
    QTest::newRow("upper below lower")
        << Rows{{50, 12}} << Range(OutputCheck::Range{150, -50})
        << int(OutputCheck::Outcome::EmptySpan) << 0.0 << 0.0 << QString();
    QTest::newRow("no rows") << Rows{} << range << int(OutputCheck::Outcome::NoRows) << 0.0 << 0.0
                             << QString();
    QTest::newRow("no current in any row")
        << Rows{{50, float(qQNaN())}} << range << int(OutputCheck::Outcome::NoRows) << 0.0 << 0.0
        << QString();
}

void RunReportTest::outputCheck()
{
    QFETCH(Rows, rows);
    QFETCH(Range, range);
    QFETCH(int, outcome);
    QFETCH(double, largest);
    QFETCH(double, mean);
    QFETCH(QString, covered);
    const OutputCheck check = OutputCheck::of(rowsOf(rows), range, 0.1);
    QCOMPARE(int(check.outcome), outcome);
    QCOMPARE(check.coveredText(), covered);
    if (check.computed()) {
        QVERIFY2(std::abs(check.largest - largest) < 1e-3,
                 qPrintable(QString::number(check.largest)));
        QVERIFY2(std::abs(check.mean - mean) < 1e-3, qPrintable(QString::number(check.mean)));
    }
}

void RunReportTest::reportSaysWhatItCannotCheck_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("description"); // as a run's start event words it
    QTest::addColumn<QStringList>("said");
    QTest::newRow("nothing read, no rows")
        << Rows{}
        << "Прибор не считан в этом подключении; настройки не считаны; точки коррекции не считаны."
        << QStringList{"Прибор не считан", "нет ни одной строки", "диапазон прибора не записан"};
    QTest::newRow("one row, zero span")
        << Rows{{50, 12}}
        << "Прибор № 77; версия: 1.07; дата выпуска: 15.03.2024; чувствительный элемент: "
           "Термопара; тип: ТХА (K); диапазон: 20.000 … 20.000; буфер: 2; компенсация ХС: вкл; "
           "коррекция: выкл; опорные: 0.000 1.000 2.000 3.000 4.000; измеренные: 0.000 1.500 "
           "2.000 3.000 4.000."
        << QStringList{"77", "одна строка", "ТХА (K)", "1.500 → 1.000", "не больше нижнего"};
}

// A report is written for any run, and says what it could not work out.
void RunReportTest::reportSaysWhatItCannotCheck()
{
    QFETCH(Rows, rows);
    QFETCH(QString, description);
    QFETCH(QStringList, said);
    const std::optional<DeviceDescription> device = DeviceDescription::parse(description);
    QVERIFY(device);
    QCOMPARE(device->text(), description); // read back field by field, nothing lost
    const PointStore points = rowsOf(rows);
    RunReport report;
    report.csvPath = workDir.filePath("run.csv");
    report.start = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9));
    report.device = device;
    report.points = &points;
    QString error;
    const QString path = report.write(workDir.filePath("reports"), &error);
    QVERIFY2(!path.isEmpty(), qPrintable(error));
    const QString text = pdfText(path).simplified();
    for (const QString &words : said)
        QVERIFY2(text.contains(words), qPrintable(words + " not in: " + text));

    // A folder that cannot be made: a message, and no file.
    QFile blocker(workDir.filePath("blocked"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QVERIFY(report.write(blocker.fileName() + "/reports", &error).isEmpty());
    QVERIFY2(error.startsWith(QStringLiteral("Не удалось создать папку отчётов")),
             qPrintable(error));
}

void RunReportTest::runGivesReportAndExport_data()
{
    QTest::addColumn<double>("offset"); // mA the simulator adds to its loop current
    QTest::addColumn<QString>("verdict");
    QTest::newRow("true current") << 0.0 << "Годен";
    QTest::newRow("0.05 mA off, 0.3125 % of span") << 0.05 << "Не годен";
}

void RunReportTest::runGivesReportAndExport()
{
    QFETCH(double, offset);
    QFETCH(QString, verdict);
    const QDir dir(workDir.filePath(QTest::currentDataTag()));
    QVERIFY(dir.mkpath(".") && QDir::setCurrent(dir.path()));
    SimWindow rig;
    veltra::sim::DeviceState state = rig.sim().state();
    state.production.serial = 1042;
    state.probe.lower = -50;
    state.probe.upper = 150;
    rig.sim().setState(state);
    veltra::sim::Faults faults;
    faults.currentOffset = offset;
    rig.sim().setFaults(faults);
    QVERIFY(rig.connectWindow());
    for (const char *button :
         {"buttonReadDeviceInfo", "buttonReadProbeType", "buttonReadRefAndMeas"}) {
        rig.clearLine();
        rig.click(button);
        QVERIFY2(rig.waitForReplies(1), button);
        rig.settle(); // the reply is whole after a silence
    }

    rig.find<QTabWidget>("tabWidget")->setCurrentIndex(4);
    rig.click("pushButtonStartTesting");
    QVERIFY(rig.find<QLabel>("runNoSettingsHint")->isHidden()); // the settings were read
    QTRY_VERIFY_WITH_TIMEOUT(rig.find<QTableWidget>("table")->rowCount() >= 3, 10000);
    rig.click("pushButtonStopTesting");
    rig.settle();
    const QString csv = dir.filePath(dir.entryList({"*.csv"}).value(0));
    auto *chart = rig.window().findChild<ChartWindow *>();
    chart->show();
    QVERIFY2(chart->title().startsWith(QStringLiteral("Прибор № 1042 · начало ")),
             qPrintable(chart->title()));
    QVERIFY(chart->title().endsWith(QFileInfo(csv).fileName()));
    const RunSummary live = chart->summary();

    // The report names the device and its verdict, and never replaces another.
    const QString reports = dir.filePath("reports");
    const QString first = chart->writeReport(reports, OutputCheck::DefaultTolerance);
    QVERIFY(QFileInfo(first).fileName().startsWith("1042_"));
    const QString text = pdfText(first).simplified();
    for (const QString &words :
         {QStringLiteral("Серийный номер 1042"), QStringLiteral("-50.000 … 150.000"),
          QStringLiteral("ток, который сообщает сам прибор"),
          QStringLiteral("Заключение ") + verdict})
        QVERIFY2(text.contains(words), qPrintable(words + " not in: " + text));
    const QString second = chart->writeReport(reports, OutputCheck::DefaultTolerance);
    QCOMPARE(QFileInfo(second).fileName(), QFileInfo(first).completeBaseName() + " (2).pdf");

    // The export, byte for byte, and numbers a Russian-locale reader takes.
    const QString excel = SpreadsheetExport::pathBeside(csv);
    QSignalSpy exportEnded(chart, &ChartWindow::excelExportFinished);
    QVERIFY(chart->exportForExcel(excel));
    QTRY_COMPARE(exportEnded.size(), 1);
    QCOMPARE(exportEnded.first().first().toBool(), true);
    QFile exported(excel);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QByteArray bytes = exported.readAll();
    QCOMPARE(bytes, expectedExport(csv));
    const QList<QByteArray> firstRow = bytes.split('\n').value(1).trimmed().split(';');
    for (int v = 1; v < 6; ++v) {
        bool isNumber = false;
        QLocale(QLocale::Russian).toDouble(QString::fromLatin1(firstRow.value(v)), &isNumber);
        QVERIFY2(isNumber, firstRow.value(v).constData());
    }

    // From its file, and from the export: the same run, the same device, verdict and duration.
    QVERIFY(chart->openLog(csv));
    const RunSummary fromCsv = chart->summary();
    QCOMPARE(fromCsv.rows, live.rows);
    QCOMPARE(fromCsv.durationMs, live.durationMs);
    QVERIFY(std::abs(fromCsv.values[4].maximum - live.values[4].maximum) <= 0.0005);
    QVERIFY(chart->openLog(excel));
    QCOMPARE(chart->summary().rows, live.rows);
    QCOMPARE(chart->summary().values[4].mean, fromCsv.values[4].mean);
    const QString fromExport = pdfText(chart->writeReport(reports, 0.1)).simplified();
    QVERIFY2(fromExport.contains(QStringLiteral("Серийный номер 1042")) &&
                 fromExport.contains(QStringLiteral("Заключение ") + verdict + "; проверено "),
             qPrintable(fromExport));
    // A copy of the run away from its events file says that, not "not read".
    QVERIFY(QFile::copy(csv, dir.filePath("copy.csv")));
    QVERIFY(chart->openLog(dir.filePath("copy.csv")));
    const QString orphan = pdfText(chart->writeReport(reports, 0.1)).simplified();
    QVERIFY2(orphan.contains(QStringLiteral("События испытания не найдены")) &&
                 !orphan.contains(QStringLiteral("Прибор не считан")),
             qPrintable(orphan));
    QVERIFY(chart->openLog(csv));
    const QString fromFile = pdfText(chart->writeReport(reports, 0.1)).simplified();
    QVERIFY2(fromFile.contains(QStringLiteral("Заключение ") + verdict), qPrintable(fromFile));
    QVERIFY(fromFile.contains(QStringLiteral("Серийный номер 1042")));
}

QTEST_MAIN(RunReportTest)
#include "tst_runreport.moc"
