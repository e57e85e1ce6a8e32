#include "testlog/runevents.h"

#include "app/userfile.h"

#include <QDateTime>
#include <QLocale>

namespace {

const QString TimeFormat = QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz");

} // namespace

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
    const QString line = QString::fromUtf8(events.readLine(64 * 1024)).trimmed();
    const int timeLength = TimeFormat.size();
    const QDateTime time = QLocale::c().toDateTime(line.left(timeLength), TimeFormat);
    if (!time.isValid())
        return std::nullopt;
    return Event{time, line.mid(timeLength).trimmed()};
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
