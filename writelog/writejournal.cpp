#include "writelog/writejournal.h"

#include "app/userfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

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

int WriteJournal::sent(const QDateTime &time, const Device &device, const QString &command,
                       const QString &values, const QString &valuesBefore)
{
    const int number = ++lastNumber;
    const QString path = QDir(directory).filePath(fileName(device.serialNumber));
    waiting.insert(number, {path, device, command});
    append(path, deviceFields(time, device)
                     << QString::number(number) << command << values << valuesBefore << QString());
    return number;
}

void WriteJournal::outcome(int number, const QDateTime &time, const QString &result)
{
    const auto found = waiting.constFind(number);
    if (found == waiting.constEnd())
        return;
    const Waiting request = *found;
    waiting.erase(found);
    append(request.path, deviceFields(time, request.device)
                             << QString::number(number) << request.command << QString() << QString()
                             << result);
}

void WriteJournal::outcomeOfAll(const QDateTime &time, const QString &result)
{
    QList<int> numbers = waiting.keys();
    std::sort(numbers.begin(), numbers.end());
    for (int number : numbers)
        outcome(number, time, result);
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

void WriteJournal::append(const QString &path, const QStringList &fields)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QByteArray bytes;
    QString why;
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    if (written && file.size() == 0)
        bytes = QByteArrayLiteral("\xEF\xBB\xBF") + csvLine(headerFields());
    bytes += csvLine(fields);
    if (!written)
        why = file.errorString();
    else
        written = UserFile::writeWholeLine(file, bytes, &why);
    if (written || failureSeen)
        return;
    failureSeen = true;
    failure = QStringLiteral("%1\n%2").arg(UserFile::shownPath(path), why);
}
