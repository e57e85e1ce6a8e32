#include "discovery/portsearch.h"

#include "device/requests.h"
#include "link/framecodec.h"
#include "link/linesettings.h"
#include "link/porterrors.h"

namespace {

// More than any answer can hold: a port that chatters is not read further.
constexpr int MaxAnswerBytes = 1024;

// The bytes of frame from `start`, as long as its length byte says, when they are all there.
QByteArray frameAt(const QByteArray &bytes, int start)
{
    if (start + 3 >= bytes.size())
        return {};
    const int size = 4 + quint8(bytes.at(start + 3)) + 2;
    if (start + size > bytes.size() || bytes.at(start + size - 1) != FrameCodec::Delimiter)
        return {};
    return bytes.mid(start, size);
}

// Whether any whole frame with a good check byte is among the bytes.
bool holdsFrame(const QByteArray &bytes)
{
    for (int start = bytes.indexOf(FrameCodec::Delimiter); start >= 0;
         start = bytes.indexOf(FrameCodec::Delimiter, start + 1)) {
        const QByteArray frame = frameAt(bytes, start);
        if (!frame.isEmpty() && FrameCodec::acceptFrame(frame).checkByteOk)
            return true;
    }
    return false;
}

} // namespace

PortSearch::PortSearch(QObject *parent)
    : QObject(parent), port(this), deadline(this), nextPort(this)
{
    deadline.setSingleShot(true);
    deadline.setInterval(AnswerTimeoutMs);
    nextPort.setSingleShot(true);
    nextPort.setInterval(0);
    connect(&deadline, &QTimer::timeout, this, [this] {
        endProbe(received.isEmpty()     ? Verdict::NoAnswer
                 : holdsFrame(received) ? Verdict::NotTheDevice
                                        : Verdict::Noise);
    });
    connect(&nextPort, &QTimer::timeout, this, &PortSearch::probeNext);
    connect(&port, &QSerialPort::readyRead, this, &PortSearch::readAnswer);
    connect(&port, &QSerialPort::errorOccurred, this, &PortSearch::portFailed);
}

PortSearch::~PortSearch()
{
    cancel();
}

void PortSearch::start(const QStringList &portNames)
{
    cancel();
    ports = portNames;
    next = 0;
    tried.clear();
    nextPort.start();
}

void PortSearch::cancel()
{
    nextPort.stop();
    deadline.stop();
    port.close();
    next = ports.size();
}

void PortSearch::probeNext()
{
    if (next >= ports.size()) {
        emit finished();
        return;
    }
    const QString name = ports.at(next++);
    emit probing(next - 1, name);
    received.clear();
    answer.reset();
    port.setPortName(name);
    LineSettings::apply(port);
    if (!port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port.error();
        if (error == QSerialPort::DeviceNotFoundError)
            endProbe(Verdict::Vanished);
        else if (error == QSerialPort::PermissionError)
            endProbe(Verdict::NotOpened, QStringLiteral("занят другой программой или нет доступа"));
        else
            endProbe(Verdict::NotOpened, portErrorMessage(error));
        return;
    }
    port.clear(QSerialPort::Input);
    for (const QByteArray &frame :
         FrameCodec::buildFrames(Device::readRequest(Device::Command::DeviceInfo)))
        port.write(frame);
    deadline.start();
}

void PortSearch::readAnswer()
{
    const QByteArray chunk = port.readAll();
    if (!deadline.isActive())
        return;
    received.append(chunk.left(MaxAnswerBytes - received.size()));
    if (const std::optional<Device::DeviceInfoReply> info = deviceInfoIn(received)) {
        answer = info;
        endProbe(Verdict::Answered);
    }
}

// A port that has gone raises one error after another; the first ends its turn.
void PortSearch::portFailed(QSerialPort::SerialPortError error)
{
    if (!port.isOpen() || !deadline.isActive())
        return; // an open that failed is judged where it was called
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError)
        endProbe(Verdict::Vanished);
}

void PortSearch::endProbe(Verdict verdict, const QString &reason)
{
    deadline.stop();
    port.close();
    tried.append({ports.at(next - 1), verdict, reason, answer});
    nextPort.start();
}

QList<PortSearch::PortResult> PortSearch::answered() const
{
    QList<PortResult> ports;
    for (const PortResult &result : tried) {
        if (result.verdict == Verdict::Answered)
            ports << result;
    }
    return ports;
}

std::optional<Device::DeviceInfoReply> PortSearch::deviceInfoIn(const QByteArray &received)
{
    for (int start = received.indexOf(FrameCodec::Delimiter); start >= 0;
         start = received.indexOf(FrameCodec::Delimiter, start + 1)) {
        const QByteArray frame = frameAt(received, start);
        if (frame.isEmpty())
            continue;
        const FrameCodec::Received accepted = FrameCodec::acceptFrame(frame);
        if (accepted.outcome != FrameCodec::Outcome::Success)
            continue;
        const Device::ReplyHeader reply = Device::parseReply(accepted.reply);
        // Day, month, year and serial number at least.
        if (reply.type == Device::Type::Read && reply.command == Device::Command::DeviceInfo &&
            reply.resultCode && Device::isSuccess(*reply.resultCode) && reply.data.size() >= 8)
            return Device::decodeDeviceInfo(reply.data);
    }
    return std::nullopt;
}

QString PortSearch::verdictText(const PortResult &result)
{
    switch (result.verdict) {
    case Verdict::Answered:
        return result.info ? QStringLiteral("№ %1, версия %2")
                                 .arg(result.info->serialNumber)
                                 .arg(result.info->firmware)
                           : QStringLiteral("прибор ответил");
    case Verdict::NotOpened:
        return result.reason.isEmpty() ? QStringLiteral("не открылся")
                                       : QStringLiteral("не открылся: %1").arg(result.reason);
    case Verdict::NoAnswer:
        return QStringLiteral("нет ответа");
    case Verdict::NotTheDevice:
        return QStringLiteral("ответ не от прибора");
    case Verdict::Noise:
        return QStringLiteral("отвечает помехами");
    case Verdict::Vanished:
        return QStringLiteral("порт пропал");
    }
    return {};
}
