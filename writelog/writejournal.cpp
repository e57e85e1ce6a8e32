#include "writelog/writejournal.h"

#include "app/userfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>

#include <algorithm>

namespace {

// One field on one line: line breaks become spaces, and a field holding the
// separator or a quote is quoted.
QString csvField(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')))
        return text;
    text.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QByteArray csvLine(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field);
    return (quoted.join(QLatin1Char(';')) + QStringLiteral("\r\n")).toUtf8();
}

// The fields of one line as csvLine() writes them.
QStringList csvFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == QLatin1Char('"')) {
            if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
                field += line.at(++i);
            else
                quoted = false;
        } else if (!quoted && c == QLatin1Char('"')) {
            quoted = true;
        } else if (!quoted && c == QLatin1Char(';')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    return fields << field;
}

constexpr int NumberField = 4;
// Numbers only grow, so the last of them is near the end: this much is read.
constexpr qint64 TailBytes = 64 * 1024;
// A program that died holding the lock leaves it behind; it is taken over
// after this long. Appending a line takes milliseconds.
constexpr int StaleLockMs = 10000;
constexpr int LockWaitMs = 5000;

} // namespace

QStringList WriteJournal::headerFields()
{
    return {
        QStringLiteral("Время"),      QStringLiteral("Порт"),   QStringLiteral("Серийный номер"),
        QStringLiteral("Версия ПО"),  QStringLiteral("Запрос"), QStringLiteral("Команда"),
        QStringLiteral("Отправлено"), QStringLiteral("Было"),   QStringLiteral("Итог")};
}

QString WriteJournal::fileName(const std::optional<qint32> &serialNumber)
{
    return serialNumber ? QStringLiteral("%1.csv").arg(*serialNumber)
                        : QStringLiteral("unknown.csv");
}

WriteJournal::WriteJournal(const QString &directory) : directory(directory) {}

QStringList WriteJournal::deviceFields(const QDateTime &time, const Device &device)
{
    return {QLocale::c().toString(time, QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")), device.port,
            device.serialNumber ? QString::number(*device.serialNumber) : QString(),
            device.firmware};
}

int WriteJournal::lastNumberIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const qint64 from = std::max<qint64>(0, file.size() - TailBytes);
    file.seek(from);
    QList<QByteArray> lines = file.readAll().split('\n');
    if (from > 0 && !lines.isEmpty())
        lines.removeFirst(); // begun before what was read
    int last = 0;
    for (const QByteArray &line : qAsConst(lines)) {
        const QStringList fields = csvFields(QString::fromUtf8(line).trimmed());
        bool isNumber = false;
        const int number = fields.value(NumberField).toInt(&isNumber);
        if (isNumber)
            last = std::max(last, number);
    }
    return last;
}

int WriteJournal::sent(const QDateTime &time, const Device &device, const QString &command,
                       const QString &values, const QString &valuesBefore)
{
    const QString path = QDir(directory).filePath(fileName(device.serialNumber));
    const int number =
        append(path, time, device, std::nullopt, {command, values, valuesBefore, QString()});
    const int ticket = ++lastTicket;
    waiting.insert(ticket, {path, number, device, command});
    return ticket;
}

void WriteJournal::outcome(int ticket, const QDateTime &time, const QString &result)
{
    const auto found = waiting.constFind(ticket);
    if (found == waiting.constEnd())
        return;
    const Waiting request = *found;
    waiting.erase(found);
    append(request.path, time, request.device, request.number,
           {request.command, QString(), QString(), result});
}

void WriteJournal::note(const QDateTime &time, const Device &device, const QString &what,
                        const QString &result)
{
    const QString path = QDir(directory).filePath(fileName(device.serialNumber));
    append(path, time, device, std::nullopt, {what, QString(), QString(), result});
}

void WriteJournal::outcomeOfAll(const QDateTime &time, const QString &result)
{
    QList<int> tickets = waiting.keys();
    std::sort(tickets.begin(), tickets.end());
    for (int ticket : tickets)
        outcome(ticket, time, result);
}

std::optional<QString> WriteJournal::takeFailure()
{
    std::optional<QString> taken = failure;
    failure.reset();
    return taken;
}

void WriteJournal::resetFailure()
{
    failureSeen = false;
    failure.reset();
}

int WriteJournal::append(const QString &path, const QDateTime &time, const Device &device,
                         std::optional<int> number, const QStringList &fields)
{
    QDir().mkpath(QFileInfo(path).path());
    // Without the lock (a folder that cannot hold it, or a holder that does
    // not let go) the line is still written: a number that may repeat is
    // better than a write left off the record.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(StaleLockMs);
    const bool locked = lock.tryLock(LockWaitMs);
    if (!number)
        number = lastNumberIn(path) + 1;
    QFile file(path);
    QByteArray bytes;
    QString why;
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    if (written && file.size() == 0)
        bytes = QByteArrayLiteral("\xEF\xBB\xBF") + csvLine(headerFields());
    bytes += csvLine(deviceFields(time, device) << QString::number(*number) << fields);
    if (!written)
        why = file.errorString();
    else
        written = UserFile::writeWholeLine(file, bytes, &why);
    file.close();
    if (locked)
        lock.unlock();
    if (!written && !failureSeen) {
        failureSeen = true;
        failure = QStringLiteral("%1\n%2").arg(UserFile::shownPath(path), why);
    }
    return *number;
}
