#pragma once

#include "plot/pointstore.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <utility>

// Reads the CSV file of a test run back: the header line, then one row per
// line, "dd.MM.yyyy hh:mm:ss" and five values with three decimals (or "nan",
// "inf", "-inf"), separated by ";". It also reads the run as exported for a
// spreadsheet and as a spreadsheet saves either again: a byte-order mark,
// "\r\n", quoted fields, the date as "yyyy-MM-dd", the hour in one digit and
// no seconds, "," for the decimal point, any number of decimals, and an empty
// field for a value that is not a number. Anything else is not a run's line:
// it is skipped and counted by its reason, and reading goes on, so a damaged
// or foreign file opens as far as it is valid.
//
// Bytes come in pieces of any size; a line longer than MaxLineBytes is not
// kept whole, so memory stays bounded whatever the file holds.
class CsvLogReader
{
public:
    enum Problem { FieldCount, BadTime, BadValue, TooLong, ProblemCount };
    static constexpr int MaxLineBytes = 4096;

    void feed(const char *data, size_t size);
    void feed(const QByteArray &bytes) { feed(bytes.constData(), size_t(bytes.size())); }
    // Takes a last line that has no line feed.
    void finish();

    // Reads a whole file; false when it cannot be opened.
    bool readFile(const QString &path);

    const PointStore &points() const { return store; }
    PointStore takePoints() { return std::move(store); }
    bool headerFound() const { return header; }
    int skipped(Problem problem) const { return problems[size_t(problem)]; }
    int skippedTotal() const;

    // What the user is told after opening `fileName`, in Russian; empty when
    // the file was a log from its first line to its last.
    QString report(const QString &fileName) const;

private:
    void endLine();
    void takeLine(const char *begin, const char *end);
    static bool isHeader(const char *const *starts, const char *const *ends);
    bool parseTime(const char *begin, const char *end, qint64 &ms);

    PointStore store;
    QByteArray pending;
    bool overlong = false;
    qint64 lines = 0;
    bool header = false;
    std::array<int, ProblemCount> problems{};
    // Local midnight of the last date seen, and the hour the offset was taken at.
    qint64 cachedKey = -1;
    qint64 cachedHourStart = 0;
};
