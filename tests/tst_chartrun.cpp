#include "plot/chartcompat.h"
#include "plot/chartwindow.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QAction>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

using TestSupport::SimWindow;

// The chart window following a test run against the simulated transmitter,
// then showing the run's CSV file, clean and damaged.
class ChartRunTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }
    void init();
    void cleanup();
    void chartFollowsTheRunAndAgreesWithItsFile();

private:
    QString originalDirectory;
    std::unique_ptr<QTemporaryDir> workDir;
    std::unique_ptr<SimWindow> rig;
};

namespace {

// Per column of a run's CSV file: lowest, highest, mean; and the first and last time.
struct FileFigures
{
    int rows = 0;
    double low[5], high[5], sum[5] = {};
    QDateTime first, last;
};

FileFigures figuresOf(const QString &path)
{
    QFile file(path);
    FileFigures f;
    if (!file.open(QIODevice::ReadOnly))
        return f;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(';');
        if (fields.size() != 6)
            continue;
        const QDateTime time =
            QDateTime::fromString(QString::fromLatin1(fields[0]), "dd.MM.yyyy hh:mm:ss");
        f.first = f.rows == 0 ? time : f.first;
        f.last = time;
        for (int v = 0; v < 5; ++v) {
            const double x = fields[v + 1].toDouble();
            f.low[v] = f.rows == 0 ? x : qMin(f.low[v], x);
            f.high[v] = f.rows == 0 ? x : qMax(f.high[v], x);
            f.sum[v] += x;
        }
        ++f.rows;
    }
    return f;
}

bool near(double a, double b)
{
    return std::abs(a - b) <= 0.0005 + 1e-6 * std::abs(b);
}

} // namespace

void ChartRunTest::init()
{
    originalDirectory = QDir::currentPath();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
    rig = std::make_unique<SimWindow>();
    QVERIFY(rig->connectWindow());
}

void ChartRunTest::cleanup()
{
    rig.reset();
    QDir::setCurrent(originalDirectory);
    workDir.reset();
    QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
}

void ChartRunTest::chartFollowsTheRunAndAgreesWithItsFile()
{
    // Opened once the run is under way, the chart holds the run from its start.
    rig->find<QTabWidget>("tabWidget")->setCurrentIndex(4);
    rig->click("pushButtonStartTesting");
    auto *table = rig->find<QTableWidget>("table");
    QTRY_VERIFY_WITH_TIMEOUT(table->rowCount() >= 1, 3000);
    auto *action = rig->find<QAction>("showChart");
    QVERIFY(action);
    action->trigger();
    action->trigger(); // the same window again, not a second one
    const QList<ChartWindow *> charts = rig->window().findChildren<ChartWindow *>();
    QCOMPARE(charts.size(), 1);
    ChartWindow *chart = charts.first();
    QVERIFY(chart->isVisible());
    QVERIFY(!chart->isModal());
    const QList<QLineSeries *> series = [&] {
        QList<QLineSeries *> all;
        for (QAbstractSeries *s : chart->findChild<QChartView *>()->chart()->series())
            all.append(qobject_cast<QLineSeries *>(s));
        return all;
    }();
    QCOMPARE(series.size(), 5);
    // The converter value is no temperature: an axis of its own, hidden until asked for.
    QChart *shown = chart->findChild<QChartView *>()->chart();
    QVERIFY(!series[0]->isVisible());
    QVERIFY(series[0]->attachedAxes().last() != series[1]->attachedAxes().last());
    emit shown->legend()->markers(series[0]).value(0)->clicked();
    QVERIFY(series[0]->isVisible() && series[0]->attachedAxes().last()->isVisible());
    QCOMPARE(chart->title(), shown->title());
    QVERIFY(chart->title().startsWith(QStringLiteral("Прибор не считан · начало ")));

    // Hide the cold-junction series from its legend entry; the entry stays.
    QLegendMarker *marker =
        chart->findChild<QChartView *>()->chart()->legend()->markers(series[3]).value(0);
    QVERIFY(marker);
    emit marker->clicked();
    QVERIFY(!series[3]->isVisible());
    QVERIFY(marker->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(table->rowCount() >= 3, 8000);
    rig->click("pushButtonStopTesting");
    rig->settle();
    const int rows = table->rowCount();

    QCOMPARE(chart->points().size(), rows);
    QTRY_COMPARE_WITH_TIMEOUT(series[0]->count(), rows, 2 * ChartWindow::RedrawMs + 500);
    for (QLineSeries *s : series) {
        if (s->isVisible())
            QCOMPARE(s->count(), rows);
    }

    const QStringList files = QDir().entryList({"*.csv"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const FileFigures expected = figuresOf(files.first());
    QCOMPARE(expected.rows, rows);
    const RunSummary summary = chart->summary();
    QCOMPARE(summary.rows, rows);
    QVERIFY(std::abs(summary.durationMs - expected.first.msecsTo(expected.last)) < 1000);
    for (int v = 0; v < 5; ++v) {
        const RunSummary::Value &got = summary.values[size_t(v)];
        QVERIFY2(near(got.minimum, expected.low[v]), qPrintable(QString::number(v)));
        QVERIFY2(near(got.maximum, expected.high[v]), qPrintable(QString::number(v)));
        QVERIFY2(near(got.mean, expected.sum[v] / rows), qPrintable(QString::number(v)));
        QVERIFY(std::isnan(got.drift)); // seconds, not ten minutes
    }
    QVERIFY(chart->findChild<QLabel *>("summaryLabel")
                ->text()
                .endsWith(QStringLiteral("строк: %1").arg(rows)));
    const QString image = workDir->filePath("chart.png");
    QVERIFY(chart->saveImage(image));
    QVERIFY(!QImage(image).isNull());

    // The run's own file opens without a word; a damaged copy tells what was skipped.
    const TestSupport::ModalBox clean =
        TestSupport::closeNextModal([&] { QVERIFY(chart->openLog(files.first())); }, 500);
    QVERIFY2(!clean.shown, qPrintable(clean.text));
    QVERIFY(chart->showsFile());
    QCOMPARE(chart->points().size(), rows);

    QFile::copy(files.first(), "copy (2).csv");
    QFile damaged("copy (2).csv");
    QVERIFY(damaged.open(QIODevice::Append));
    damaged.write("обрыв;\n");
    damaged.close();
    const TestSupport::ModalBox box =
        TestSupport::closeNextModal([&] { QVERIFY(chart->openLog(damaged.fileName())); });
    QCOMPARE(box.title, QStringLiteral("Журнал открыт не полностью"));
    QVERIFY2(box.text.contains(QStringLiteral("Пропущено строк: 1, из них:\n— число полей не "
                                              "равно шести: 1")),
             qPrintable(box.text));
    QCOMPARE(chart->points().size(), rows);

    // A new run brings the chart back to the run and starts afresh.
    rig->click("pushButtonStartTesting");
    QVERIFY(!chart->showsFile());
    QCOMPARE(chart->points().size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(chart->points().size(), 1, 3000);
    rig->click("pushButtonStopTesting");
}

QTEST_MAIN(ChartRunTest)
#include "tst_chartrun.moc"
