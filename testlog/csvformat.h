#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QDateTime;

// The texts of a test-run log: the file name, the header and the rows, the same
// for the CSV file and the table on the Testing tab. Nothing here depends on the
// system locale: numbers always use "." and dates always use ASCII digits.
namespace CsvFormat {

constexpr int FieldCount = 6; // the time, then the five live values
constexpr int ValueCount = 5;
// Each live value's place among the five, in the order the device sends them.
enum Value { Converter, Corrected, Measured, ColdJunction, Current };

// The five live values as the file's header names them, and as the chart's legend does.
constexpr const char *HeaderNames[ValueCount] = {"Значение преобразователя",
                                                 "Корректированное значение", "Измеренное значение",
                                                 "Температура ХС", "Ток"};
constexpr const char *LegendNames[ValueCount] = {
    "Значение преобр", "Корр-ое значение", "Измеренное значение", "Температура ХС", "Ток, мА"};

// "dd.MM.yy hh.mm.ss.csv" of the run's start, e.g. "06.12.26 14.05.09.csv".
// A copy number of 2 or more goes before the extension: "06.12.26 14.05.09 (2).csv".
// A prefix goes first, with a space: "1042 06.12.26 14.05.09.csv".
QString fileName(const QDateTime &start, int copy = 1, const QString &prefix = QString());

// The six header fields, in column order.
QStringList headerFields();

// "dd.MM.yyyy hh:mm:ss", 24-hour clock.
QString timeText(const QDateTime &time);

// Fixed point with exactly three decimals and "." as the separator. A value that
// rounds to zero is written "0.000", never "-0.000": the sign of something the
// log cannot show is noise. Not-a-number and infinities come out as "nan",
// "inf" and "-inf".
QString valueText(double value);
// As valueText, with "+" before a value above zero: "+0.012", "-0.250", "0.000".
QString signedValueText(double value);

// The six texts of one row: the time, then the five values in reply order. A
// list shorter than five is padded with zeros, the way a short reply decodes.
QStringList rowFields(const QDateTime &time, const QList<double> &values);

// The fields joined by ";" with a closing "\n", UTF-8 encoded. No quoting.
QByteArray line(const QStringList &fields);

} // namespace CsvFormat
