#include "testlog/csvformat.h"
#include "testlog/logtable.h"

#include <QDateTime>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTest>

using Row = QStringList;

class LogTableTest : public QObject
{
    Q_OBJECT

private slots:
    void rowsStayWholeAndInSortOrder_data();
    void rowsStayWholeAndInSortOrder();
    void rowsOfTheSameSecondKeepTheirOrderOfArrival();
    void valuesSortAsNumbersAndTimesAcrossTheYearEnd();
    void withoutSortingRowsAreAppended();

private:
    struct Reply
    {
        QDateTime time;
        QList<double> values;
        Row fields;
    };
    static QList<Reply> replies(int count, quint32 seed);
    static QList<Row> rowsOf(const QTableWidget &table);
    static void add(QTableWidget &table, const Reply &reply);
};

QList<LogTableTest::Reply> LogTableTest::replies(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    const QDateTime start(QDate(2026, 12, 31), QTime(23, 58, 0));
    QList<Reply> list;
    for (int i = 0; i < count; ++i) {
        Reply reply;
        // Some rows share a second, the way polling and a run together give.
        reply.time = start.addSecs(i - i % 3);
        for (int v = 0; v < CsvFormat::ValueCount; ++v)
            reply.values.append(int(random.bounded(40)) / 4.0 - 5.0); // many repeats
        reply.fields = CsvFormat::rowFields(reply.time, reply.values);
        list.append(reply);
    }
    return list;
}

QList<Row> LogTableTest::rowsOf(const QTableWidget &table)
{
    QList<Row> rows;
    for (int r = 0; r < table.rowCount(); ++r) {
        Row row;
        for (int c = 0; c < table.columnCount(); ++c)
            row.append(table.item(r, c) ? table.item(r, c)->text() : QStringLiteral("<empty>"));
        rows.append(row);
    }
    return rows;
}

void LogTableTest::add(QTableWidget &table, const Reply &reply)
{
    LogTable::appendRow(&table, reply.time, reply.values);
}

void LogTableTest::rowsStayWholeAndInSortOrder_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    for (int column = 0; column < CsvFormat::FieldCount; ++column) {
        QTest::addRow("column %d ascending", column) << column << Qt::AscendingOrder;
        QTest::addRow("column %d descending", column) << column << Qt::DescendingOrder;
    }
}

void LogTableTest::rowsStayWholeAndInSortOrder()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QTableWidget table(0, CsvFormat::FieldCount);
    table.setSortingEnabled(true);
    table.sortByColumn(column, order);

    const QList<Reply> all = replies(300, quint32(column * 2 + order));
    QList<Row> expected;
    for (const Reply &reply : all) {
        add(table, reply);
        expected.append(reply.fields);
    }

    QList<Row> shown = rowsOf(table);
    QCOMPARE(shown.size(), expected.size());
    // Every row shown is the six texts of one reply, and every reply is shown once.
    QList<Row> sortedShown = shown;
    std::sort(sortedShown.begin(), sortedShown.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(sortedShown, expected);

    // Each row went after the rows that compare equal: the arrival order, sorted stably.
    QList<Reply> byKey = all;
    const auto key = [column](const Reply &reply) {
        return column == 0 ? double(reply.time.toMSecsSinceEpoch()) : reply.values[column - 1];
    };
    std::stable_sort(byKey.begin(), byKey.end(), [&](const Reply &a, const Reply &b) {
        return order == Qt::AscendingOrder ? key(a) < key(b) : key(b) < key(a);
    });
    QList<Row> sortedByKey;
    for (const Reply &reply : byKey)
        sortedByKey.append(reply.fields);
    QCOMPARE(shown, sortedByKey);

    // Sorting again the same way changes nothing.
    table.sortItems(column, order);
    QCOMPARE(rowsOf(table), shown);
    QCOMPARE(table.horizontalHeader()->sortIndicatorSection(), column);
    QCOMPARE(table.horizontalHeader()->sortIndicatorOrder(), order);
}

void LogTableTest::rowsOfTheSameSecondKeepTheirOrderOfArrival()
{
    QTableWidget table(0, CsvFormat::FieldCount);
    table.setSortingEnabled(true);
    table.sortByColumn(0, Qt::AscendingOrder);
    const QDateTime second(QDate(2026, 12, 6), QTime(14, 5, 9));
    QList<Row> expected;
    for (int i = 0; i < 5; ++i) {
        const QList<double> values{double(i), 0, 0, 0, 0};
        expected.append(CsvFormat::rowFields(second, values));
        LogTable::appendRow(&table, second, values);
    }
    QCOMPARE(rowsOf(table), expected);
}

void LogTableTest::valuesSortAsNumbersAndTimesAcrossTheYearEnd()
{
    QTableWidget table(0, CsvFormat::FieldCount);
    table.setSortingEnabled(true);
    table.sortByColumn(0, Qt::AscendingOrder);
    const QDateTime newYear(QDate(2027, 1, 1), QTime(0, 0, 1));
    const QDateTime oldYear(QDate(2026, 12, 31), QTime(23, 59, 59));
    const QList<double> ten{10, 10, 10, 10, 10};
    const QList<double> nine{9, 9, 9, 9, 9};
    LogTable::appendRow(&table, newYear, ten);
    LogTable::appendRow(&table, oldYear, nine);
    QCOMPARE(table.item(0, 0)->text(), QStringLiteral("31.12.2026 23:59:59"));
    QCOMPARE(table.item(1, 0)->text(), QStringLiteral("01.01.2027 00:00:01"));

    for (int column = 1; column < CsvFormat::FieldCount; ++column) {
        table.sortItems(column, Qt::AscendingOrder);
        QCOMPARE(table.item(0, column)->text(), QStringLiteral("9.000"));
        table.sortItems(column, Qt::DescendingOrder);
        QCOMPARE(table.item(0, column)->text(), QStringLiteral("10.000"));
    }
}

void LogTableTest::withoutSortingRowsAreAppended()
{
    QTableWidget table(0, CsvFormat::FieldCount);
    table.setSortingEnabled(false);
    QList<Row> expected;
    for (const Reply &reply : replies(20, 7)) {
        add(table, reply);
        expected.append(reply.fields);
    }
    QCOMPARE(rowsOf(table), expected);
}

QTEST_MAIN(LogTableTest)
#include "tst_logtable.moc"
