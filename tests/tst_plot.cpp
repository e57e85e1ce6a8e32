#include "plot/csvlogreader.h"
#include "plot/decimator.h"
#include "plot/runsummary.h"

#include <QTest>
#include <cmath>
#include <limits>

// The chart's pure parts: decimation, the run summary and reading a log back.
class PlotTest : public QObject
{
    Q_OBJECT

private slots:
    void decimationKeepsExtremesInTimeOrder_data();
    void decimationKeepsExtremesInTimeOrder();
    void summaryOfARampWithAGap();
    void readerTakesLogLinesAndCountsTheRest_data();
    void readerTakesLogLinesAndCountsTheRest();
};

namespace {

PointStore::Values all(float v)
{
    return {v, v, v, v, v};
}

} // namespace

void PlotTest::decimationKeepsExtremesInTimeOrder_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("buckets");
    QTest::newRow("fewer rows than buckets: every row") << 7 << 16;
    QTest::newRow("exactly full") << 16 << 16;
    QTest::newRow("one past full: merged once") << 17 << 16;
    QTest::newRow("long run") << 100003 << 64;
}

// A sine with one spike up and one down; whatever is merged, both survive,
// and the points stay in time order within the bound.
void PlotTest::decimationKeepsExtremesInTimeOrder()
{
    QFETCH(int, rows);
    QFETCH(int, buckets);
    MinMaxDecimator decimator(buckets);
    const int up = rows / 3;
    const int down = rows - 2;
    for (int r = 0; r < rows; ++r) {
        float v = float(std::sin(r * 0.01));
        v = r == up ? 50.0f : r == down ? -50.0f : v;
        PointStore::Values row = all(v);
        row[2] = r % 5 == 0 ? std::numeric_limits<float>::quiet_NaN() : v;
        decimator.add(1000 * qint64(r), row);
    }
    QVERIFY(decimator.bucketCount() <= buckets);
    const QVector<QPointF> points = decimator.points(0);
    if (rows <= buckets)
        QCOMPARE(points.size(), rows);
    QVERIFY(points.size() <= 2 * buckets);
    for (int i = 1; i < points.size(); ++i)
        QVERIFY2(points[i - 1].x() < points[i].x(), qPrintable(QString::number(i)));
    const auto has = [&](int row, double v) { return points.contains(QPointF(1000.0 * row, v)); };
    QVERIFY(has(up, 50.0));
    QVERIFY(has(down, -50.0));
    // Not-a-number never reaches the chart.
    for (const QPointF &p : decimator.points(2))
        QVERIFY(std::isfinite(p.y()));
}

// Thirty minutes of one row every 2 s, value = minutes since the start, with
// a not-a-number row that must not count.
void PlotTest::summaryOfARampWithAGap()
{
    PointStore store;
    const qint64 start = 1'700'000'000'000;
    for (int r = 0; r <= 900; ++r) {
        PointStore::Values row = all(float(r * 2 / 60.0));
        if (r == 450)
            row[1] = std::numeric_limits<float>::quiet_NaN();
        store.append(start + 2000 * qint64(r), row);
    }
    const RunSummary s = RunSummary::of(store);
    QCOMPARE(s.rows, 901);
    QCOMPARE(s.durationMs, qint64(1800 * 1000));
    QCOMPARE(RunSummary::durationText(s.durationMs), QStringLiteral("00:30:00"));
    QCOMPARE(RunSummary::durationText(qint64(2 * 86400 + 3 * 3600 + 4 * 60 + 5) * 1000),
             QStringLiteral("2 д 03:04:05"));
    QCOMPARE(s.values[0].minimum, 0.0);
    QCOMPARE(s.values[0].maximum, 30.0);
    QVERIFY(std::abs(s.values[0].mean - 15.0) < 1e-5);
    QVERIFY(std::abs(s.values[1].mean - 15.0) < 1e-5); // the gap sits at the middle
    // First window: rows 0..299 (mean 4.983), last: rows 601..900 (mean 25.017).
    QVERIFY2(std::abs(s.values[0].drift - (25.0167 - 4.9833)) < 1e-3,
             qPrintable(QString::number(s.values[0].drift)));

    PointStore shortRun;
    shortRun.append(start, all(1));
    shortRun.append(start + 60000, all(3));
    QVERIFY(std::isnan(RunSummary::of(shortRun).values[0].drift));
    QCOMPARE(RunSummary::of(shortRun).values[0].mean, 2.0);
    QVERIFY(std::isnan(RunSummary::of(PointStore()).values[0].minimum));
}

void PlotTest::readerTakesLogLinesAndCountsTheRest_data()
{
    const QByteArray header = "Время;Значение преобразователя;Корректированное значение;"
                              "Измеренное значение;Температура ХС;Ток\n";
    const QByteArray row = "06.12.2026 14:05:09;138.500;85.000;84.980;23.000;13.067\n";
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("pieceSize"); // bytes are fed in pieces of this size
    QTest::addColumn<bool>("header");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("skipped"); // field count, time, value, too long
    QTest::addColumn<double>("lastCurrent");

    const QList<int> none{0, 0, 0, 0};
    QTest::newRow("a run's file") << header + row + row << 1 << true << 2 << none << 13.067;
    QTest::newRow("header only") << header << 4096 << true << 0 << none << qQNaN();
    QTest::newRow("CRLF, BOM, no final line feed")
        << "\xEF\xBB\xBF" + header.chopped(1) + "\r\n" + row +
               "06.12.2026 14:05:11;-0.050;nan;inf;-inf;4.000"
        << 7 << true << 2 << none << 4.0;
    QTest::newRow("broken lines of every kind")
        << header + row + "\n" + "06.12.2026 14:05:10;1.000;2.000\n" +
               "06.12.2026 14:05:10;1;2;3;4;5;6\n" +
               "31.02.2026 14:05:10;1.000;2.000;3.000;4.000;5.000\n" +
               "06.12.2026 24:00:00;1.000;2.000;3.000;4.000;5.000\n" +
               "06.12.2026 14:05:10;1.0.0;2.000;3.000;4.000;5.000\n" +
               "06.12.2026 14:05:10;1,;2.000;3.000;4.000;5.000\n" +
               "06.12.2026 14:05:10;1.000;2.000;3.000;4.000;-\n" + QByteArray(5000, 'x') + "\n" +
               row
        << 100 << true << 2 << QList<int>{3, 2, 3, 1} << 13.067;
    // Exported for a spreadsheet, and saved again by one.
    QTest::newRow("export for Excel") << "\xEF\xBB\xBF" + header.chopped(1) + "\r\n" +
                                             "2026-12-06 14:05:09;138,500;85,000;84,980;;13,067\r\n"
                                      << 5 << true << 1 << none << 13.067;
    QTest::newRow("quoted, few decimals, a time without seconds")
        << "\"" + header.chopped(1).replace(";", "\";\"") + "\"\n" +
               "\"06.12.2026 14:05:09\";\"138,5\";85;84.98;23;4\n" +
               "06.12.2026 9:05;138;85;85;23;\"12,25\"\n"
        << 9 << true << 2 << none << 12.25;
    QTest::newRow("not a log at all") << QByteArray::fromHex("89504e470d0a1a0a000000"
                                                             "0d49484452"
                                                             "3b3b3b3b3b0a")
                                      << 3 << false << 0 << QList<int>{2, 1, 0, 0} << qQNaN();
    QTest::newRow("header missing, rows still read")
        << row + row.left(30) << 5 << false << 1 << QList<int>{1, 0, 0, 0} << 13.067;
}

void PlotTest::readerTakesLogLinesAndCountsTheRest()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, pieceSize);
    QFETCH(bool, header);
    QFETCH(int, rows);
    QFETCH(QList<int>, skipped);
    QFETCH(double, lastCurrent);

    CsvLogReader reader;
    for (int at = 0; at < bytes.size(); at += pieceSize)
        reader.feed(bytes.mid(at, pieceSize));
    reader.finish();
    QCOMPARE(reader.headerFound(), header);
    QCOMPARE(reader.points().size(), rows);
    QList<int> counted;
    for (int p = 0; p < CsvLogReader::ProblemCount; ++p)
        counted.append(reader.skipped(CsvLogReader::Problem(p)));
    QCOMPARE(counted, skipped);
    if (rows > 0) {
        const PointStore &points = reader.points();
        QCOMPARE(points.value(rows - 1, 4), float(lastCurrent));
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(points.time(0)),
                 QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9)));
    }
    // The user hears of anything that was not a clean log, with the counts.
    const QString report = reader.report(QStringLiteral("/tmp/06.12.26 14.05.09 (2).csv"));
    QCOMPARE(report.isEmpty(), header && reader.skippedTotal() == 0 && rows > 0);
    if (reader.skippedTotal() > 0)
        QVERIFY2(report.contains(QStringLiteral("Пропущено строк: %1").arg(reader.skippedTotal())),
                 qPrintable(report));
}

QTEST_GUILESS_MAIN(PlotTest)
#include "tst_plot.moc"
