#include "link/serialline.h"

#include "link/linesettings.h"
#include "link/portowners.h"
#include "link/serialworker.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QThread>

namespace {

// The system does not tell a port held by another program from one this user
// may not open.
QString openFailure(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("порт не найден");
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        return QStringLiteral("занят другой программой или нет доступа");
    default:
        return QStringLiteral("не удалось открыть");
    }
}

} // namespace

SerialLine::SerialLine(const QString &owner, QObject *parent)
    : QObject(parent), owner(owner), port(new QSerialPort(this)), thread(new QThread(this)),
      serialWorker(new SerialWorker(port))
{
    // Coarse timers may fire up to 5% early; five seconds should mean what it says.
    noAnswerTimer.setTimerType(Qt::PreciseTimer);
    noAnswerTimer.setInterval(NoAnswerMs);
    noAnswerTimer.setSingleShot(true);
    connect(&noAnswerTimer, &QTimer::timeout, this,
            [this] { emit notAnswered(rejectedSinceRequest); });

    serialWorker->moveToThread(thread);
    connect(thread, &QThread::started, serialWorker, &SerialWorker::doWork);
    connect(thread, &QThread::finished, serialWorker, &SerialWorker::stop);
    connect(serialWorker, &SerialWorker::packetTransmited, this, &SerialLine::requestWritten);
    connect(serialWorker, &SerialWorker::receiveEnd, this,
            [this](const QByteArray &reply, const QDateTime &receivedAt) {
                noAnswerTimer.stop();
                emit replyReceived(reply, receivedAt);
            });
    // Delivered, but its bytes cannot be trusted: no answer yet, as far as
    // the device's silence goes (a flood is mostly such frames).
    connect(serialWorker, &SerialWorker::receiveCorrupted, this,
            [this](const QByteArray &reply, const QDateTime &receivedAt) {
                rejectedSinceRequest = true;
                emit corruptedReplyReceived(reply, receivedAt);
            });
    connect(
        serialWorker, &SerialWorker::frameReceived, this,
        [this](const QDateTime &receivedAt, const QByteArray &bytes, FrameCodec::Outcome outcome) {
            if (outcome != FrameCodec::Outcome::BadPacket)
                return;
            rejectedSinceRequest = true;
            emit replyRejected(bytes, receivedAt);
        });
    connect(serialWorker, &SerialWorker::styleChanged, this, &SerialLine::styleChanged);
    connect(serialWorker, &SerialWorker::lineLost, this, &SerialLine::lost);
    connect(serialWorker, &SerialWorker::portErrorsClosed, this, &SerialLine::errorBoxesClosed);
}

SerialLine::~SerialLine()
{
    close();
    // The worker may only go once its thread has stopped running its slots.
    delete serialWorker;
}

bool SerialLine::open(const QString &portName, QString *whyNot)
{
    QString failure;
    QString key;
    QString holder;
    if (portName.isEmpty()) {
        failure = QStringLiteral("порт не найден");
    } else if (!PortOwners::claim(portName, owner, &key, &holder)) {
        failure = QStringLiteral("занят: %1").arg(holder);
    } else {
        const QSerialPortInfo info(portName);
        // Pseudo-terminals are never enumerated; those open by the name as given.
        if (!info.isNull())
            port->setPort(info);
        else
            port->setPortName(portName);
        LineSettings::apply(*port);
        port->setReadBufferSize(SerialWorker::MaxReplyBytes);
        bool isOpen = port->open(QIODevice::ReadWrite);
        // A pseudo-terminal has no parity bit and its driver drops the flag; one
        // left as an earlier program set it (that program killed while holding
        // it) then refuses odd parity outright. Bytes are all it carries, so it
        // is opened without.
        if (!isOpen && info.isNull() && port->error() == QSerialPort::UnsupportedOperationError) {
            port->setParity(QSerialPort::NoParity);
            isOpen = port->open(QIODevice::ReadWrite);
        }
        if (!isOpen) {
            failure = openFailure(port->error());
            if (key != ownerKey)
                PortOwners::release(key);
        }
    }
    if (!failure.isEmpty()) {
        if (whyNot)
            *whyNot = failure;
        return false;
    }
    port->setTextModeEnabled(false);
    name = portName;
    if (key != ownerKey)
        releaseClaim();
    ownerKey = key;
    thread->start(QThread::InheritPriority);
    emit opened();
    return true;
}

void SerialLine::closePort()
{
    port->close();
}

void SerialLine::close(bool keepClaim)
{
    port->close();
    thread->quit();
    thread->wait();
    if (!keepClaim)
        releaseClaim();
}

void SerialLine::releaseClaim()
{
    if (!ownerKey.isEmpty())
        PortOwners::release(ownerKey);
    ownerKey.clear();
}

bool SerialLine::isOpen() const
{
    return port->isOpen();
}

bool SerialLine::isActive() const
{
    return thread->isRunning();
}

void SerialLine::send(const QByteArray &request)
{
    serialWorker->sendPackage(request);
}

void SerialLine::sendRoutine(const QByteArray &request)
{
    routineSend = true;
    serialWorker->sendPackage(request);
    routineSend = false;
}

// Also for requests the manual packet window hands the worker itself.
void SerialLine::requestWritten()
{
    if (!routineSend || !noAnswerTimer.isActive()) {
        rejectedSinceRequest = false;
        noAnswerTimer.start();
    }
    emit requestSent(routineSend);
}

void SerialLine::writeRaw(const QByteArray &bytes)
{
    if (!port->isOpen())
        return;
    port->write(bytes);
    port->flush();
}
