#pragma once

#include <QList>

class QDateTime;
class QTableWidget;

// The rows of the Testing tab's table.
namespace LogTable {

// Adds one row for a reply processed at `time` (shown in local time): the six
// texts of CsvFormat::rowFields() in columns 0 to 5, the same texts the log
// file gets. Each item holds its time or its value and makes its text when
// asked.
//
// The table sorts the rows itself (a header click, sortItems(), sortByColumn())
// by time and by value, not by text: "10.000" comes after "9.000", 1 January
// after 31 December, and "nan" after every number. With sorting enabled the
// new row goes straight to its place, as a whole. That place is found by the
// table, which copies and shifts its rows to make it: in a sort order a row
// costs time in proportion to the row count, without one (the form's setting)
// it does not.
//
// The newest row is scrolled into view, so a run can be watched on a table
// that cannot be scrolled by hand.
void appendRow(QTableWidget *table, const QDateTime &time, const QList<double> &values);

} // namespace LogTable
