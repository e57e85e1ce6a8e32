#include "testlog/logtable.h"

#include "testlog/csvformat.h"

#include <QDateTime>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidget>
#include <cmath>
#include <vector>

namespace {

// A table item that sorts by a number kept beside its text. A time item keeps
// its text; a value item makes it from the number, the way the file gets it.
class KeyedItem : public QTableWidgetItem
{
public:
    static constexpr int Type = QTableWidgetItem::UserType + 0x7E57;

    explicit KeyedItem(double value) : QTableWidgetItem(Type), key(value) {}
    KeyedItem(double moment, const QString &text)
        : QTableWidgetItem(Type), key(moment), shownText(text)
    {
    }

    QVariant data(int role) const override
    {
        if (role != Qt::DisplayRole)
            return QTableWidgetItem::data(role);
        return shownText.isNull() ? CsvFormat::valueText(key) : shownText;
    }

    bool operator<(const QTableWidgetItem &other) const override
    {
        if (other.type() != Type)
            return QTableWidgetItem::operator<(other);
        return keyLess(key, static_cast<const KeyedItem &>(other).key);
    }

    QTableWidgetItem *clone() const override { return new KeyedItem(*this); }

private:
    // Not-a-number sorts after every number, so the order stays strict and weak.
    static bool keyLess(double a, double b)
    {
        if (std::isnan(a))
            return false;
        if (std::isnan(b))
            return true;
        return a < b;
    }

    double key;
    QString shownText;
};

// Whether a row whose sort column holds `item` goes after the row holding
// `existing`. Rows without an item in the sort column stay last.
bool goesAfter(const QTableWidgetItem &item, const QTableWidgetItem *existing, Qt::SortOrder order)
{
    if (!existing)
        return false;
    return order == Qt::AscendingOrder ? !(item < *existing) : !(*existing < item);
}

} // namespace

namespace LogTable {

void appendRow(QTableWidget *table, const QDateTime &time, const QList<double> &values)
{
    const int columns = qMin(table->columnCount(), CsvFormat::FieldCount);
    std::vector<QTableWidgetItem *> items;
    items.reserve(size_t(columns));
    items.push_back(new KeyedItem(double(time.toMSecsSinceEpoch()), CsvFormat::timeText(time)));
    for (int column = 1; column < columns; ++column)
        items.push_back(new KeyedItem(values.value(column - 1, 0.0)));

    QHeaderView *header = table->horizontalHeader();
    const int sortColumn = header->sortIndicatorSection();
    const Qt::SortOrder order = header->sortIndicatorOrder();
    const bool sorted = table->isSortingEnabled() && sortColumn >= 0 && sortColumn < columns;

    int row = table->rowCount();
    if (sorted) {
        int low = 0;
        int high = row;
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (goesAfter(*items[size_t(sortColumn)], table->item(middle, sortColumn), order))
                low = middle + 1;
            else
                high = middle;
        }
        row = low;
    }

    // While sorting is on, setting an item of the sort column makes the table
    // look for the row's place among all rows and move it there, which costs
    // time in proportion to the row count. The row is in place already, so the
    // sort column is hidden from the table for the few calls below; the blocker
    // keeps that from starting a sort of the whole table.
    const QSignalBlocker quiet(header);
    if (sorted)
        header->setSortIndicator(-1, order);
    table->insertRow(row);
    for (int column = 0; column < columns; ++column)
        table->setItem(row, column, items[size_t(column)]);
    if (sorted)
        header->setSortIndicator(sortColumn, order);
}

} // namespace LogTable
