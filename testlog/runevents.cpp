#include "testlog/runevents.h"

#include <QDateTime>
#include <QLocale>

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

bool RunEvents::create(const QString &csvPath)
{
    close();
    failureSeen = false;
    file.setFileName(pathFor(csvPath));
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
}

bool RunEvents::add(const QDateTime &time, const QString &text)
{
    const QString line = QLocale::c().toString(time, QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")) +
                         QStringLiteral("  ") + text + QLatin1Char('\n');
    const QByteArray bytes = line.toUtf8();
    if (file.isOpen() && file.write(bytes) == bytes.size())
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
