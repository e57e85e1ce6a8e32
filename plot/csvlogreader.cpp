#include "plot/csvlogreader.h"

#include "testlog/csvformat.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int number(const char *p, int digits)
{
    int n = 0;
    for (int i = 0; i < digits; ++i)
        n = n * 10 + (p[i] - '0');
    return n;
}

bool equals(const char *begin, const char *end, const char *text)
{
    const size_t length = std::strlen(text);
    return size_t(end - begin) == length && std::memcmp(begin, text, length) == 0;
}

// "-?[0-9]+\.[0-9]{3}", "nan", "inf" or "-inf".
bool parseValue(const char *begin, const char *end, float &out)
{
    if (equals(begin, end, "nan")) {
        out = std::numeric_limits<float>::quiet_NaN();
        return true;
    }
    if (equals(begin, end, "inf") || equals(begin, end, "-inf")) {
        out = *begin == '-' ? -std::numeric_limits<float>::infinity()
                            : std::numeric_limits<float>::infinity();
        return true;
    }
    const char *p = begin;
    const bool negative = p < end && *p == '-';
    if (negative)
        ++p;
    double whole = 0;
    const char *digits = p;
    while (p < end && isDigit(*p))
        whole = whole * 10 + (*p++ - '0');
    if (p == digits || end - p != 4 || *p != '.' || !isDigit(p[1]) || !isDigit(p[2]) ||
        !isDigit(p[3]))
        return false;
    const double value = whole + number(p + 1, 3) / 1000.0;
    out = float(negative ? -value : value);
    return true;
}

} // namespace

void CsvLogReader::feed(const char *data, size_t size)
{
    while (size > 0) {
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', size));
        const size_t length = newline ? size_t(newline - data) : size;
        if (!overlong) {
            if (size_t(pending.size()) + length > size_t(MaxLineBytes)) {
                overlong = true;
                pending.clear();
            } else {
                pending.append(data, int(length));
            }
        }
        if (!newline)
            return;
        endLine();
        data = newline + 1;
        size -= length + 1;
    }
}

void CsvLogReader::finish()
{
    if (overlong || !pending.isEmpty())
        endLine();
}

void CsvLogReader::endLine()
{
    if (overlong)
        ++problems[TooLong];
    else
        takeLine(pending.constData(), pending.constData() + pending.size());
    pending.clear();
    overlong = false;
    ++lines;
}

void CsvLogReader::takeLine(const char *begin, const char *end)
{
    if (end > begin && end[-1] == '\r')
        --end;
    if (lines == 0) {
        static const char Bom[] = "\xEF\xBB\xBF";
        if (end - begin >= 3 && std::memcmp(begin, Bom, 3) == 0)
            begin += 3;
        static const QByteArray Header = CsvFormat::line(CsvFormat::headerFields()).chopped(1);
        if (equals(begin, end, Header.constData())) {
            header = true;
            return;
        }
    }

    // Where each field begins and ends.
    const char *starts[CsvFormat::FieldCount];
    const char *ends[CsvFormat::FieldCount];
    int count = 0;
    starts[0] = begin;
    for (const char *p = begin; p < end; ++p) {
        if (*p != ';')
            continue;
        if (count + 1 == CsvFormat::FieldCount) {
            ++problems[FieldCount];
            return;
        }
        ends[count++] = p;
        starts[count] = p + 1;
    }
    ends[count++] = end;
    if (count != CsvFormat::FieldCount) {
        ++problems[FieldCount];
        return;
    }

    qint64 time = 0;
    if (!parseTime(starts[0], ends[0], time)) {
        ++problems[BadTime];
        return;
    }
    PointStore::Values values;
    for (int i = 0; i < PointStore::Series; ++i) {
        if (!parseValue(starts[i + 1], ends[i + 1], values[size_t(i)])) {
            ++problems[BadValue];
            return;
        }
    }
    store.append(time, values);
}

// "dd.MM.yyyy hh:mm:ss" in local time. Working out the zone's offset is the
// slow part, so it is done once an hour of the log.
bool CsvLogReader::parseTime(const char *begin, const char *end, qint64 &ms)
{
    static const char Shape[] = "00.00.0000 00:00:00";
    if (end - begin != qint64(sizeof Shape - 1))
        return false;
    for (size_t i = 0; i < sizeof Shape - 1; ++i) {
        if (Shape[i] == '0' ? !isDigit(begin[i]) : begin[i] != Shape[i])
            return false;
    }
    const QDate date(number(begin + 6, 4), number(begin + 3, 2), number(begin, 2));
    const int hour = number(begin + 11, 2);
    const int minute = number(begin + 14, 2);
    const int second = number(begin + 17, 2);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return false;
    const qint64 key = date.toJulianDay() * 24 + hour;
    if (key != cachedKey) {
        const QDateTime start(date, QTime(hour, 0));
        if (!start.isValid())
            return false;
        cachedKey = key;
        cachedHourStart = start.toMSecsSinceEpoch();
    }
    ms = cachedHourStart + (minute * 60 + second) * qint64(1000);
    return true;
}

bool CsvLogReader::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A row takes some 56 bytes of text. The guess is capped: a big file may be
    // anything but a log, and nothing is set aside for rows it may not hold.
    store.reserve(size_t(std::clamp<qint64>(file.size() / 56, 0, 2'000'000)));
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    qint64 got = 0;
    while ((got = file.read(chunk.data(), chunk.size())) > 0)
        feed(chunk.constData(), size_t(got));
    finish();
    return true;
}

int CsvLogReader::skippedTotal() const
{
    int total = 0;
    for (int n : problems)
        total += n;
    return total;
}

QString CsvLogReader::report(const QString &fileName) const
{
    const int total = skippedTotal();
    if (header && total == 0 && !store.isEmpty())
        return {};
    QString text = QStringLiteral("Журнал «%1»: прочитано строк: %2.")
                       .arg(QFileInfo(fileName).fileName())
                       .arg(store.size());
    if (!header)
        text += QStringLiteral("\nПервая строка файла — не заголовок журнала.");
    if (total > 0) {
        text += QStringLiteral("\nПропущено строк: %1, из них:").arg(total);
        const char *const reasons[ProblemCount] = {"число полей не равно шести", "неверное время",
                                                   "неверное значение", "длиннее %1 байт"};
        for (int p = 0; p < ProblemCount; ++p) {
            if (problems[size_t(p)] == 0)
                continue;
            QString reason = QString::fromUtf8(reasons[p]);
            if (p == TooLong)
                reason = reason.arg(MaxLineBytes);
            text += QStringLiteral("\n— %1: %2").arg(reason).arg(problems[size_t(p)]);
        }
    }
    if (store.isEmpty())
        text += QStringLiteral("\nСтрок журнала в файле нет.");
    return text;
}
