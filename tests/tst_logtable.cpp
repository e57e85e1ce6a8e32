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
        reply.time = start.addMSecs(i * 700);
        for (int v = 0; v < CsvFormat::ValueCount; ++v) {
            const int step = int(random.bounded(41)); // many repeats, and now and then no number
            reply.values.append(step == 40 ? qQNaN() : step / 4.0 - 5.0);
        }
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
    QTest::addColumn<bool>("clickedAfter"); // or sorted before the rows come
    for (int column = 0; column < CsvFormat::FieldCount; ++column)
        for (const bool clicked : {false, true})
            for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder})
                QTest::addRow("column %d %s, %s", column,
                              order == Qt::AscendingOrder ? "ascending" : "descending",
                              clicked ? "clicked after" : "sorted before")
                    << column << order << clicked;
}

void LogTableTest::rowsStayWholeAndInSortOrder()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(bool, clickedAfter);
    QTableWidget table(0, CsvFormat::FieldCount);
    table.resize(600, 200);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    if (!clickedAfter) {
        table.setSortingEnabled(true);
        table.sortByColumn(column, order);
    }

    const QList<Reply> all = replies(300, quint32(column * 2 + order));
    QList<Row> expected;
    for (const Reply &reply : all) {
        add(table, reply);
        expected.append(reply.fields);
    }
    if (clickedAfter) {
        table.setSortingEnabled(true);
        QHeaderView *header = table.horizontalHeader();
        const QPoint middle(header->sectionViewportPosition(column) + 5, header->height() / 2);
        for (int click = 0; click < 2 && (header->sortIndicatorSection() != column ||
                                          header->sortIndicatorOrder() != order);
             ++click)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
        QCOMPARE(header->sortIndicatorSection(), column);
        QCOMPARE(header->sortIndicatorOrder(), order);
    }

    QList<Row> shown = rowsOf(table);
    QCOMPARE(shown.size(), expected.size());
    // Every row shown is the six texts of one reply, and every reply is shown once.
    QList<Row> sortedShown = shown;
    std::sort(sortedShown.begin(), sortedShown.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(sortedShown, expected);

    // The column reads in the order of its times or values, not-a-number after every number.
    QList<Reply> byKey = all;
    const auto key = [column](const Reply &reply) {
        return column == 0 ? double(reply.time.toMSecsSinceEpoch()) : reply.values[column - 1];
    };
    const auto less = [](double a, double b) { return !qIsNaN(a) && (qIsNaN(b) || a < b); };
    std::stable_sort(byKey.begin(), byKey.end(), [&](const Reply &a, const Reply &b) {
        return order == Qt::AscendingOrder ? less(key(a), key(b)) : less(key(b), key(a));
    });
    for (int row = 0; row < byKey.size(); ++row)
        QCOMPARE(shown[row][column], byKey[row].fields[column]);

    if (!clickedAfter) {
        const QTableWidgetItem *newest = table.item(shown.indexOf(all.last().fields), 0);
        QTRY_VERIFY(table.viewport()->rect().contains(table.visualItemRect(newest)));
    }
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
