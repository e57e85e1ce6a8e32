#include "rack/rackline.h"

#include "link/serialline.h"
#include "link/statusstyle.h"
#include "session/devicesession.h"
#include "testlog/csvformat.h"
#include "testlog/testrun.h"

#include <QDir>

RackLine::RackLine(const QString &port, QObject *parent)
    : QObject(parent), portName(port),
      deviceSession(new DeviceSession(QStringLiteral("стенд, порт %1").arg(port), this))
{
    DeviceSession *s = deviceSession;
    s->setUnattended(true);
    connect(s, &DeviceSession::styleChanged, this, [this](const QStringList &style) {
        if (style.size() < 2)
            return;
        sheet = style.at(0);
        word = style.at(1);
        emit changed();
    });
    connect(s, &DeviceSession::indicator, this, [this](const QString &colour, const QString &text) {
        sheet = StatusStyle::withColour(sheet, colour);
        word = text;
        emit changed();
    });
    connect(s, &DeviceSession::lineNotice, this, &RackLine::tell);
    connect(s, &DeviceSession::message, this, [this](const QString &title, const QString &text) {
        tell(title + QStringLiteral(": ") + text);
    });
    connect(s, &DeviceSession::runInterrupted, this, &RackLine::tell);
    connect(s, &DeviceSession::liveValuesRead, this, [this](const QList<double> &values) {
        lastValues = values;
        emit changed();
    });
    connect(s->line(), &SerialLine::replyReceived, this,
            [this](const QByteArray &, const QDateTime &receivedAt) { lastReplyAt = receivedAt; });
    connect(s, &DeviceSession::runStarted, this, [this] {
        runStart = QDateTime::currentDateTime();
        trendPoints.clear();
        trendStride = 1;
        rowsSinceTrend = 0;
        emit changed();
    });
    connect(s, &DeviceSession::rowLogged, this, &RackLine::addToTrend);
    for (auto signal : {&DeviceSession::connectionChanged, &DeviceSession::identityChanged,
                        &DeviceSession::runDeviceChanged})
        connect(s, signal, this, &RackLine::changed);
    // Between runs the panel's values keep coming.
    connect(s, &DeviceSession::runEnded, this, [this] {
        if (deviceSession->isOpen())
            deviceSession->startPolling();
        emit changed();
    });
    // Two replies of up to a second each, with room to spare.
    readsTimer.setSingleShot(true);
    readsTimer.setInterval(3000);
    connect(&readsTimer, &QTimer::timeout, this, &RackLine::readsDone);
    // The settings are read after the identity: with them, both are in.
    connect(s, &DeviceSession::settingsRead, this, [this] {
        if (readsTimer.isActive())
            readsDone();
    });
}

RackLine::~RackLine() = default;

void RackLine::setKindNames(const QStringList &names)
{
    deviceSession->setKindNames(names);
}

bool RackLine::connectLine()
{
    if (deviceSession->holdsPort())
        return true;
    QString whyNot;
    if (!deviceSession->connectTo(portName, &whyNot)) {
        tell(QStringLiteral("Не подключено: %1").arg(whyNot));
        return false;
    }
    lastValues.clear();
    lastReplyAt = QDateTime();
    deviceSession->readDevice();
    readsTimer.start();
    deviceSession->startPolling();
    emit changed();
    return true;
}

void RackLine::disconnectLine()
{
    startWanted = false;
    readsTimer.stop();
    deviceSession->disconnectLine();
    emit changed();
}

bool RackLine::startRun()
{
    if (deviceSession->isRunning() || startWanted)
        return true;
    if (!deviceSession->isOpen()) {
        tell(QStringLiteral("Испытание не запущено: линия не подключена."));
        return false;
    }
    if (readsTimer.isActive()) {
        startWanted = true;
        emit changed();
        return true;
    }
    return startNow();
}

void RackLine::readsDone()
{
    readsTimer.stop();
    if (!startWanted)
        return;
    startWanted = false;
    if (deviceSession->isOpen())
        startNow();
    emit changed();
}

bool RackLine::startNow()
{
    // Runs go to "runs" in the working directory, made if missing.
    const QString directory = QDir::current().filePath(QStringLiteral("runs"));
    QDir().mkpath(directory);
    deviceSession->setRunDirectory(directory);
    QString failure;
    if (!deviceSession->startRun(&failure)) {
        tell(failure);
        return false;
    }
    tell(QStringLiteral("Испытание идёт, файл %1.").arg(deviceSession->run().shownFileName()));
    return true;
}

void RackLine::stopRun()
{
    startWanted = false;
    deviceSession->endRun(RunEnd::Stop);
    emit changed();
}

bool RackLine::isConnected() const
{
    return deviceSession->holdsPort();
}

bool RackLine::isRunning() const
{
    return deviceSession->isRunning();
}

QString RackLine::serialText() const
{
    if (const auto &info = deviceSession->record().info)
        return QStringLiteral("№ %1").arg(info->serialNumber);
    return QStringLiteral("не считан");
}

int RackLine::rows() const
{
    return deviceSession->run().rows();
}

QString RackLine::runFile() const
{
    return deviceSession->run().fileName();
}

void RackLine::tell(const QString &text)
{
    lastNotice = text;
    emit changed();
}

// However long the run, the trend holds at most TrendPoints: when full, every
// other point goes and rows are taken half as often.
void RackLine::addToTrend(const QDateTime &time, const QList<double> &values)
{
    lastValues = values; // a run's rows are its live values
    if (++rowsSinceTrend >= trendStride) {
        rowsSinceTrend = 0;
        trendPoints.append(
            QPointF(double(runStart.msecsTo(time)), values.value(CsvFormat::Measured, qQNaN())));
        if (trendPoints.size() >= TrendPoints) {
            QVector<QPointF> kept;
            kept.reserve(TrendPoints / 2 + 1);
            for (int i = 0; i < trendPoints.size(); i += 2)
                kept.append(trendPoints.at(i));
            trendPoints = kept;
            trendStride *= 2;
        }
    }
    emit changed();
}
