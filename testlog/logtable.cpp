#include "testlog/logtable.h"

#include "testlog/csvformat.h"

#include <QDateTime>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>

#include <cmath>

namespace {

// The time of a reply, shown in local time and sorted by the instant.
class TimeItem final : public QTableWidgetItem
{
public:
    static constexpr int Type = QTableWidgetItem::UserType + 1;

    explicit TimeItem(const QDateTime &time)
        : QTableWidgetItem(Type), msecsSinceEpoch(time.toMSecsSinceEpoch())
    {
    }

    QVariant data(int role) const override
    {
        if (role == Qt::DisplayRole)
            return CsvFormat::timeText(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch));
        return QTableWidgetItem::data(role);
    }

    bool operator<(const QTableWidgetItem &other) const override
    {
        if (other.type() != Type)
            return QTableWidgetItem::operator<(other);
        return msecsSinceEpoch < static_cast<const TimeItem &>(other).msecsSinceEpoch;
    }

    QTableWidgetItem *clone() const override { return new TimeItem(*this); }

private:
    qint64 msecsSinceEpoch;
};

// One live value, sorted as a number; not-a-number goes after every number,
// so that the order stays strict and weak.
class ValueItem final : public QTableWidgetItem
{
public:
    static constexpr int Type = QTableWidgetItem::UserType + 2;

    explicit ValueItem(double value) : QTableWidgetItem(Type), value(value) {}

    QVariant data(int role) const override
    {
        if (role == Qt::DisplayRole)
            return CsvFormat::valueText(value);
        return QTableWidgetItem::data(role);
    }

    bool operator<(const QTableWidgetItem &other) const override
    {
        if (other.type() != Type)
            return QTableWidgetItem::operator<(other);
        const double otherValue = static_cast<const ValueItem &>(other).value;
        if (std::isnan(value))
            return false;
        return std::isnan(otherValue) || value < otherValue;
    }

    QTableWidgetItem *clone() const override { return new ValueItem(*this); }

private:
    double value;
};

// The time in column 0, then the values in reply order; a short reply reads as
// zeros, as in the log file.
QTableWidgetItem *newItem(int column, const QDateTime &time, const QList<double> &values)
{
    if (column == 0)
        return new TimeItem(time);
    return new ValueItem(values.value(column - 1, 0.0));
}

// The newest row at the bottom is followed through the scroll range, which
// grows only once the table has laid the row out, and again when the window
// is resized. A row elsewhere needs the table laid out at once, which a table
// out of sight is spared.
void reveal(QTableWidget *table, int row)
{
    QScrollBar *bar = table->verticalScrollBar();
    if (row == table->rowCount() - 1) {
        QObject::connect(bar, &QScrollBar::rangeChanged, table, &QTableWidget::scrollToBottom,
                         Qt::UniqueConnection);
        bar->setValue(bar->maximum());
        return;
    }
    QObject::disconnect(bar, &QScrollBar::rangeChanged, table, &QTableWidget::scrollToBottom);
    if (row == 0)
        table->scrollToTop();
    else if (table->isVisible())
        table->scrollTo(table->model()->index(row, 0));
}

} // namespace

namespace LogTable {

void appendRow(QTableWidget *table, const QDateTime &time, const QList<double> &values)
{
    const int columns = qMin(table->columnCount(), CsvFormat::FieldCount);
    // A sorted table moves a row to its place as soon as the item of the sort
    // column is set, so that item goes in last, when the row is complete.
    const int sortColumn = table->horizontalHeader()->sortIndicatorSection();
    const int row = table->rowCount();
    table->insertRow(row);
    QTableWidgetItem *sortItem = nullptr;
    for (int column = 0; column < columns; ++column) {
        QTableWidgetItem *item = newItem(column, time, values);
        if (column == sortColumn)
            sortItem = item;
        else
            table->setItem(row, column, item);
    }
    int shownAt = row;
    if (sortItem) {
        table->setItem(row, sortColumn, sortItem);
        shownAt = sortItem->row();
    }
    reveal(table, shownAt);
}

} // namespace LogTable
