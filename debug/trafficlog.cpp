#include "debug/trafficlog.h"

#include "app/userfile.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>

namespace {

QString receivedVerdict(FrameCodec::Outcome outcome)
{
    switch (outcome) {
    case FrameCodec::Outcome::Success:
        return QStringLiteral("принят");
    case FrameCodec::Outcome::CheckByteError:
        return QStringLiteral("отброшен: не совпал контрольный байт");
    case FrameCodec::Outcome::BadPacket:
        return QStringLiteral("отброшен: неверный пакет");
    }
    return {};
}

} // namespace

bool TrafficLog::start(const QDateTime &now)
{
    stop();
    failure.clear();
    QDir::current().mkpath(directory());
    const QString stamp = QLocale::c().toString(now, QStringLiteral("yyyy-MM-dd hh-mm-ss"));
    return UserFile::createNew(
        file,
        [&stamp](int copy) {
            return directory() + QLatin1Char('/') + stamp + UserFile::copySuffix(copy) +
                   QStringLiteral(".txt");
        },
        QIODevice::WriteOnly | QIODevice::Unbuffered);
}

void TrafficLog::stop()
{
    file.close();
}

bool TrafficLog::addSent(const QDateTime &time, const QByteArray &frame)
{
    return add(time, "TX    ", sentMask.hex(frame));
}

bool TrafficLog::addSentRaw(const QDateTime &time, const QByteArray &bytes)
{
    return add(time, "TX RAW", sentMask.hex(bytes));
}

bool TrafficLog::addReceived(const QDateTime &time, const QByteArray &bytes,
                             FrameCodec::Outcome outcome)
{
    return add(time, "RX    ", FrameCodec::toHex(bytes), receivedVerdict(outcome));
}

bool TrafficLog::add(const QDateTime &time, const char *direction, const QString &hex,
                     const QString &verdict)
{
    if (!file.isOpen())
        return true;
    QString line = QLocale::c().toString(time, QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")) +
                   QStringLiteral("  ") + QLatin1String(direction) + QStringLiteral("  ") + hex;
    if (!verdict.isEmpty())
        line += QStringLiteral("  ") + verdict;
    line += QLatin1Char('\n');
    return UserFile::writeWholeLine(file, line.toUtf8(), &failure);
}
