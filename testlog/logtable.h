#pragma once

#include <QList>

class QDateTime;
class QTableWidget;

// The rows of the Testing tab's table.
namespace LogTable {

// Adds one row for a reply processed at `time`: the six texts of
// CsvFormat::rowFields() in columns 0 to 5, the same texts the log file gets.
//
// With sorting enabled the row goes straight to the place the sort setting
// gives it, after any rows that compare equal, so rows of the same second keep
// their order of arrival. All six items are set while the row is already in
// place, so they can never be spread over different rows. The items sort by
// time and by value, not by text: "10.000" comes after "9.000" and 1 January
// after 31 December. Each item keeps its number and makes its text when asked,
// which keeps a row small: a long run holds hundreds of thousands of them.
//
// Cost per row: a binary search, plus moving the rows below the new one. In
// time order the new row is the last one, so nothing moves and the cost does
// not grow with the number of rows.
void appendRow(QTableWidget *table, const QDateTime &time, const QList<double> &values);

} // namespace LogTable
