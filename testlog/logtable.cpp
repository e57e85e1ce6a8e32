#include "testlog/logtable.h"

#include "testlog/csvformat.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// One logged reply: 48 bytes, kept once whatever the table shows.
struct Record
{
    qint64 msecs;
    std::array<double, CsvFormat::ValueCount> values;
};

// Not-a-number sorts after every number, so the order stays strict and weak.
bool valueLess(double a, double b)
{
    if (std::isnan(a))
        return false;
    if (std::isnan(b))
        return true;
    return a < b;
}

// The records of one table and the order they are shown in. Lives as a child
// of the table, so it goes with it.
//
// The table's items stay where they were added; what a place shows is decided
// here. A new record is pushed to the end of `records` and its number goes
// into `shown` at the place the sort gives it. In descending order `shown` is
// kept back to front, so that a new row on top is a push at the end, as a new
// row at the bottom is in ascending order.
class LogRows : public QObject
{
    Q_OBJECT
public:
    static LogRows *of(const QTableWidget *table)
    {
        return table->findChild<LogRows *>(QString(), Qt::FindDirectChildrenOnly);
    }

    // The rows of a table that was emptied are forgotten with it.
    static LogRows *attach(QTableWidget *table)
    {
        LogRows *rows = of(table);
        if (rows && table->rowCount() == 0) {
            rows->records.clear();
            rows->shown.clear();
        }
        return rows ? rows : new LogRows(table);
    }

    // The text at a place of the table, empty for a place this does not know.
    QString text(int position, int column)
    {
        settle();
        if (position < 0 || position >= int(shown.size()) || column < 0 ||
            column >= CsvFormat::FieldCount)
            return QString();
        const Record &record = records[shownAt(position)];
        if (column == 0)
            return CsvFormat::timeText(QDateTime::fromMSecsSinceEpoch(record.msecs));
        return CsvFormat::valueText(record.values[size_t(column - 1)]);
    }

    // Takes a record and returns the place it is shown at: in `sortColumn`
    // order after the rows that compare equal, or last when `sortColumn` is -1.
    int add(const Record &record, int sortColumn, Qt::SortOrder order)
    {
        settle();
        if (sortColumn != arrangedColumn || (sortColumn >= 0 && order != arrangedOrder))
            arrange(sortColumn, order);
        const auto number = quint32(records.size());
        records.push_back(record);
        const int count = int(shown.size());
        int low = arrangedColumn >= 0 ? 0 : count;
        int high = count;
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (goesAfter(number, shownAt(middle)))
                low = middle + 1;
            else
                high = middle;
        }
        shown.insert(shown.begin() + (reversed ? count - low : low), number);
        return low;
    }

    // Scrolls the place into view. The newest row at the bottom is followed
    // when the scroll range grows, which happens after the table has laid out
    // the new row, and when the window is resized. A row in between needs the
    // table laid out at once, which a table out of sight is spared.
    void reveal(int position)
    {
        QScrollBar *bar = table->verticalScrollBar();
        followBottom = position > 0 && position == int(shown.size()) - 1;
        if (followBottom)
            bar->setValue(bar->maximum());
        else if (position == 0)
            bar->setValue(bar->minimum());
        else if (QTableWidgetItem *item = table->item(position, 0); item && table->isVisible())
            table->scrollToItem(item);
    }

private:
    explicit LogRows(QTableWidget *owner) : QObject(owner), table(owner)
    {
        // A sort of the table (a header click, sortItems(), sortByColumn())
        // sorts its model first, which leaves our items where they are, and
        // sets the header's indicator before or after. The rows follow the
        // indicator the next time they are asked for, by then it is final.
        connect(table->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, [this] {
            if (table->isSortingEnabled())
                resortPending = true;
        });
        connect(table->model(), &QAbstractItemModel::layoutChanged, this,
                [this](const QList<QPersistentModelIndex> &,
                       QAbstractItemModel::LayoutChangeHint hint) {
                    if (hint == QAbstractItemModel::VerticalSortHint)
                        resortPending = true;
                });
        connect(table->verticalScrollBar(), &QScrollBar::rangeChanged, this,
                [this](int, int maximum) {
                    if (followBottom)
                        table->verticalScrollBar()->setValue(maximum);
                });
    }

    quint32 shownAt(int position) const
    {
        return shown[size_t(reversed ? int(shown.size()) - 1 - position : position)];
    }

    bool less(quint32 a, quint32 b) const
    {
        const Record &left = records[a];
        const Record &right = records[b];
        if (arrangedColumn == 0)
            return left.msecs < right.msecs;
        const auto value = size_t(arrangedColumn - 1);
        return valueLess(left.values[value], right.values[value]);
    }

    bool goesAfter(quint32 added, quint32 existing) const
    {
        return arrangedOrder == Qt::AscendingOrder ? !less(added, existing)
                                                   : !less(existing, added);
    }

    void settle()
    {
        if (!resortPending)
            return;
        resortPending = false;
        const QHeaderView *header = table->horizontalHeader();
        arrange(header->sortIndicatorSection(), header->sortIndicatorOrder());
    }

    // Sorts stably from the order shown now, as the table's own sort does; a
    // column the rows do not have keeps the order and adds new rows last.
    void arrange(int column, Qt::SortOrder order)
    {
        std::vector<quint32> inOrder(shown.size());
        for (size_t position = 0; position < inOrder.size(); ++position)
            inOrder[position] = shownAt(int(position));
        const int columns = qMin(table->columnCount(), CsvFormat::FieldCount);
        arrangedColumn = column >= 0 && column < columns ? column : -1;
        arrangedOrder = order;
        if (arrangedColumn >= 0)
            std::stable_sort(inOrder.begin(), inOrder.end(), [this](quint32 a, quint32 b) {
                return arrangedOrder == Qt::AscendingOrder ? less(a, b) : less(b, a);
            });
        reversed = arrangedColumn >= 0 && order == Qt::DescendingOrder;
        if (reversed)
            std::reverse(inOrder.begin(), inOrder.end());
        shown = std::move(inOrder);
        followBottom = false;
        table->viewport()->update();
    }

    QTableWidget *table;
    std::vector<Record> records; // in arrival order
    std::vector<quint32> shown;  // record numbers in the order shown, or back to front
    bool reversed = false;
    int arrangedColumn = -1; // -1: in the order of arrival
    Qt::SortOrder arrangedOrder = Qt::AscendingOrder;
    bool resortPending = false;
    bool followBottom = false;
};

// Memory for table items, which are many and all of one size: blocks of
// them instead of one heap allocation each, which spares the allocator's
// rounding and bookkeeping, a quarter of an item. Items are made and deleted
// on the GUI thread only. The blocks go when the last item has gone.
class ItemPool
{
public:
    static void *take(size_t size)
    {
        ItemPool &pool = instance();
        Q_ASSERT(pool.size == 0 || pool.size == size);
        pool.size = size;
        ++pool.live;
        if (Slot *slot = pool.freeSlots) {
            pool.freeSlots = slot->next;
            return slot;
        }
        if (pool.used == BlockItems) {
            pool.blocks.emplace_back(new unsigned char[BlockItems * size]);
            pool.used = 0;
        }
        return pool.blocks.back().get() + size * pool.used++;
    }

    static void give(void *memory)
    {
        ItemPool &pool = instance();
        auto *slot = static_cast<Slot *>(memory);
        slot->next = pool.freeSlots;
        pool.freeSlots = slot;
        if (--pool.live == 0) {
            pool.blocks.clear();
            pool.freeSlots = nullptr;
            pool.used = BlockItems;
        }
    }

private:
    struct Slot
    {
        Slot *next;
    };
    static constexpr size_t BlockItems = 4096;

    // Never destroyed, so that an item deleted late in the program's exit
    // still finds it.
    static ItemPool &instance()
    {
        static ItemPool *const pool = new ItemPool;
        return *pool;
    }

    std::vector<std::unique_ptr<unsigned char[]>> blocks;
    Slot *freeSlots = nullptr;
    size_t used = BlockItems; // in the last block
    size_t live = 0;
    size_t size = 0;
};

// An item that stands for a place of the table and shows what LogRows has
// there. Its column is in its type, so it holds nothing of its own.
class PlaceItem final : public QTableWidgetItem
{
public:
    static void *operator new(size_t size) { return ItemPool::take(size); }
    static void operator delete(void *memory) { ItemPool::give(memory); }

    static constexpr int FirstType = QTableWidgetItem::UserType + 0x7E57;

    explicit PlaceItem(int column) : QTableWidgetItem(FirstType + column) {}

    QVariant data(int role) const override
    {
        if (role != Qt::DisplayRole)
            return QTableWidgetItem::data(role);
        QTableWidget *owner = tableWidget();
        LogRows *rows = owner ? LogRows::of(owner) : nullptr;
        return rows ? rows->text(row(), type() - FirstType) : QString();
    }

    // The table's own sort must leave every item in place: the order is kept
    // by LogRows, and an item that moved would no longer know its row cheaply.
    bool operator<(const QTableWidgetItem &) const override { return false; }

    QTableWidgetItem *clone() const override { return new PlaceItem(*this); }
};

} // namespace

namespace LogTable {

void appendRow(QTableWidget *table, const QDateTime &time, const QList<double> &values)
{
    const int columns = qMin(table->columnCount(), CsvFormat::FieldCount);
    QHeaderView *header = table->horizontalHeader();
    const int sortColumn = header->sortIndicatorSection();
    const Qt::SortOrder order = header->sortIndicatorOrder();
    const bool sorted = table->isSortingEnabled() && sortColumn >= 0 && sortColumn < columns;

    Record record;
    record.msecs = time.toMSecsSinceEpoch();
    for (size_t i = 0; i < record.values.size(); ++i)
        record.values[i] = values.value(int(i), 0.0);
    LogRows *rows = LogRows::attach(table);
    const int position = rows->add(record, sorted ? sortColumn : -1, order);

    // While sorting is on, setting an item of the sort column makes the table
    // look for the row's place among all rows and move it there, which costs
    // time in proportion to the row count and would move an item. The sort
    // column is hidden from the table for the few calls below; the blocker
    // keeps that from starting a sort of the whole table.
    const QSignalBlocker quiet(header);
    if (sorted)
        header->setSortIndicator(-1, order);
    const int last = table->rowCount();
    table->insertRow(last);
    for (int column = 0; column < columns; ++column)
        table->setItem(last, column, new PlaceItem(column));
    if (sorted)
        header->setSortIndicator(sortColumn, order);

    // The rows from `position` on now show what the row above them showed.
    table->viewport()->update();
    rows->reveal(position);
}

} // namespace LogTable

#include "logtable.moc"
