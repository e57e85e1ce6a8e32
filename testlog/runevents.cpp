#include "testlog/runevents.h"

#include "app/userfile.h"

#include <QDateTime>
#include <QLocale>

namespace {

const QString TimeFormat = QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz");
const QString LineLost = QStringLiteral("Связь потеряна");
const QString LineRegained = QStringLiteral("Связь восстановлена");
constexpr qint64 MaxLineBytes = 64 * 1024;

std::optional<RunEvents::Event> eventOf(const QByteArray &bytes)
{
    const QString line = QString::fromUtf8(bytes).trimmed();
    const int timeLength = TimeFormat.size();
    const QDateTime time = QLocale::c().toDateTime(line.left(timeLength), TimeFormat);
    if (!time.isValid())
        return std::nullopt;
    return RunEvents::Event{time, line.mid(timeLength).trimmed()};
}

} // namespace

QString lineLostText(const QString &port)
{
    return QStringLiteral("%1: порт %2").arg(LineLost, port);
}

QString lineRegainedText(const QString &port, qint32 serial)
{
    return QStringLiteral("%1: порт %2, прибор № %3").arg(LineRegained, port).arg(serial);
}

QString runEndText(RunEnd cause, const QString &detail)
{
    switch (cause) {
    case RunEnd::Stop:
        return QStringLiteral("Стоп");
    case RunEnd::OtherTab:
        return QStringLiteral("переход на вкладку «%1»").arg(detail);
    case RunEnd::Disconnect:
        return QStringLiteral("отключение");
    case RunEnd::WindowClosed:
        return QStringLiteral("закрытие окна");
    case RunEnd::LineLost:
        return QStringLiteral("потеря связи");
    case RunEnd::OtherDevice:
        return QStringLiteral("на линии другой прибор (№ %1)").arg(detail);
    case RunEnd::WriteFailed:
        return QStringLiteral("файл не записывается");
    }
    return {};
}

QString RunEvents::pathFor(const QString &csvPath)
{
    QString base = csvPath;
    if (base.endsWith(QLatin1String(".csv")))
        base.chop(4);
    return base + QStringLiteral(".events.txt");
}

std::optional<RunEvents::Event> RunEvents::first(const QString &eventsPath)
{
    QFile events(eventsPath);
    if (!events.open(QIODevice::ReadOnly))
        return std::nullopt;
    return eventOf(events.readLine(MaxLineBytes));
}

QList<RunEvents::Event> RunEvents::all(const QString &eventsPath, int most)
{
    QList<Event> events;
    QFile file(eventsPath);
    if (!file.open(QIODevice::ReadOnly))
        return events;
    while (events.size() < most && !file.atEnd()) {
        const QByteArray line = file.readLine(MaxLineBytes);
        // The rest of an overlong line is no event of its own.
        for (QByteArray rest = line; !rest.endsWith('\n') && !file.atEnd();)
            rest = file.readLine(MaxLineBytes);
        if (const std::optional<Event> event = eventOf(line))
            events << *event;
    }
    return events;
}

RunEvents::LineLosses RunEvents::lineLosses(const QList<Event> &events)
{
    LineLosses losses;
    for (const Event &event : events) {
        losses.lost += event.text.startsWith(LineLost) ? 1 : 0;
        losses.regained += event.text.startsWith(LineRegained) ? 1 : 0;
    }
    return losses;
}

bool RunEvents::create(const QString &csvPath)
{
    close();
    failureSeen = false;
    failure.clear();
    file.setFileName(pathFor(csvPath));
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
}

bool RunEvents::add(const QDateTime &time, const QString &text)
{
    const QString line =
        QLocale::c().toString(time, TimeFormat) + QStringLiteral("  ") + text + QLatin1Char('\n');
    if (file.isOpen() && UserFile::writeWholeLine(file, line.toUtf8(), &failure))
        return true;
    const bool first = !failureSeen;
    failureSeen = true;
    // A file that could not be created was reported when the run started.
    return !first || !file.isOpen();
}

void RunEvents::close()
{
    file.close();
}
