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

// A spreadsheet may quote any field.
void unquote(const char *&begin, const char *&end)
{
    if (end - begin >= 2 && *begin == '"' && end[-1] == '"') {
        ++begin;
        --end;
    }
}

// Digits with "." or "," before the decimals, if any; "nan", "inf", "-inf";
// and nothing, which is not a number either.
bool parseValue(const char *begin, const char *end, float &out)
{
    constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
    if (begin == end || equals(begin, end, "nan")) {
        out = NaN;
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
    double value = 0;
    const char *digits = p;
    while (p < end && isDigit(*p))
        value = value * 10 + (*p++ - '0');
    if (p == digits)
        return false;
    if (p < end && (*p == '.' || *p == ',')) {
        const char *decimals = ++p;
        double scale = 0.1;
        for (; p < end && isDigit(*p); ++p, scale /= 10)
            value += (*p - '0') * scale;
        if (p == decimals)
            return false;
    }
    if (p != end)
        return false;
    out = float(negative ? -value : value);
    return true;
}

// Digits where `shape` has '0' and the same character elsewhere.
bool hasShape(const char *begin, const char *end, const char *shape)
{
    if (size_t(end - begin) != std::strlen(shape))
        return false;
    for (const char *p = begin; p < end; ++p, ++shape) {
        if (*shape == '0' ? !isDigit(*p) : *p != *shape)
            return false;
    }
    return true;
}

// "dd.MM.yyyy" or "yyyy-MM-dd".
QDate parseDate(const char *begin, const char *end)
{
    if (hasShape(begin, end, "00.00.0000"))
        return QDate(number(begin + 6, 4), number(begin + 3, 2), number(begin, 2));
    if (hasShape(begin, end, "0000-00-00"))
        return QDate(number(begin, 4), number(begin + 5, 2), number(begin + 8, 2));
    return {};
}

// "hh:mm:ss", the hour maybe in one digit and the seconds maybe left out,
// as a spreadsheet shows a time: the seconds since midnight, or -1.
int parseClock(const char *begin, const char *end)
{
    int parts[3] = {0, 0, 0};
    int count = 0;
    const char *p = begin;
    while (true) {
        const char *digits = p;
        while (p < end && isDigit(*p))
            ++p;
        const int length = int(p - digits);
        if (length < 1 || length > 2 || (count > 0 && length != 2))
            return -1;
        parts[count++] = number(digits, length);
        if (count == 3 || p == end || *p != ':')
            break;
        ++p;
    }
    if (p != end || count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return -1;
    return (parts[0] * 60 + parts[1]) * 60 + parts[2];
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
    static const char Bom[] = "\xEF\xBB\xBF";
    if (lines == 0 && end - begin >= 3 && std::memcmp(begin, Bom, 3) == 0)
        begin += 3;

    // Where each field begins and ends, quotes left out.
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
    for (int i = 0; i < count; ++i)
        unquote(starts[i], ends[i]);

    if (lines == 0 && isHeader(starts, ends)) {
        header = true;
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

bool CsvLogReader::isHeader(const char *const *starts, const char *const *ends)
{
    static const QStringList Header = CsvFormat::headerFields();
    for (int i = 0; i < CsvFormat::FieldCount; ++i) {
        if (QString::fromUtf8(starts[i], int(ends[i] - starts[i])) != Header[i])
            return false;
    }
    return true;
}

// A date and a time in local time. Working out the zone's offset is the slow
// part, so it is done once an hour of the log.
bool CsvLogReader::parseTime(const char *begin, const char *end, qint64 &ms)
{
    const char *space = std::find(begin, end, ' ');
    const QDate date = parseDate(begin, space);
    const int seconds = space == end ? -1 : parseClock(space + 1, end);
    if (!date.isValid() || seconds < 0)
        return false;
    const int hour = seconds / 3600;
    const qint64 key = date.toJulianDay() * 24 + hour;
    if (key != cachedKey) {
        const QDateTime start(date, QTime(hour, 0));
        if (!start.isValid())
            return false;
        cachedKey = key;
        cachedHourStart = start.toMSecsSinceEpoch();
    }
    ms = cachedHourStart + (seconds % 3600) * qint64(1000);
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
