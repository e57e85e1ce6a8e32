#pragma once

#include <QList>

class QDateTime;
class QTableWidget;

// The rows of the Testing tab's table.
namespace LogTable {

// Adds one row for a reply processed at `time` (shown in local time): the six
// texts of CsvFormat::rowFields() in columns 0 to 5, the same texts the log
// file gets.
//
// With sorting enabled the row goes straight to the place the sort setting
// gives it, after any rows that compare equal, so rows of the same second keep
// their order of arrival. The rows sort by time and by value, not by text:
// "10.000" comes after "9.000" and 1 January after 31 December. Sorting the
// table the usual ways (a header click, sortItems(), sortByColumn()) keeps
// working, and each row's six texts always stay together.
//
// The newest row is scrolled into view, so a run can be watched on a table
// that cannot be scrolled by hand.
//
// A long run holds a million rows or more, so the texts are not kept: the
// table's items only stand for a place in it, and the time and the five values
// of every row are kept once, in arrival order, beside the table. Sorting
// reorders a list of row numbers, never the items, so a new row is always
// added at the end of the table's own storage and costs the same however long
// the run gets, in time order both oldest first and newest first. In value
// order the list of row numbers moves by one entry below the new row.
void appendRow(QTableWidget *table, const QDateTime &time, const QList<double> &values);

} // namespace LogTable
