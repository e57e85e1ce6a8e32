#include "link/serialworker.h"

#include "link/framecodec.h"
#include "link/passwordmask.h"
#include "link/porterrors.h"
#include "link/portreader.h"
#include "link/statusstyle.h"
#include "link/threadhandoff.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QThread>
#include <QTimer>

SerialWorker::SerialWorker(QSerialPort *port, QObject *parent)
    : QObject(parent), port(port), reader(new PortReader(port)),
      errorReporter(new PortErrorReporter), guiSide(new ThreadHandOff),
      workerSide(new ThreadHandOff(this))
{
    // Bytes and filtered errors cross from the GUI thread to the worker thread.
    connect(reader, &PortReader::bytesRead, reader,
            [this](const QByteArray &chunk) { toWorker([this, chunk] { waitAllBytes(chunk); }); });
    connect(reader, &PortReader::inputDiscarded, reader,
            [this] { toWorker([this] { discardPending(); }); });
    connect(reader, &PortReader::errorRaised, reader, [this](QSerialPort::SerialPortError error) {
        toWorker([this, error] { portError(error); });
    });
    connect(this, &SerialWorker::portErrorText, errorReporter,
            [this](const QString &message) { reportPortError(message); });
    // Both in the GUI thread, where the reader and the reporter live.
    connect(reader, &PortReader::lineLost, reader,
            [this](QSerialPort::SerialPortError error) { emit lineLost(portErrorMessage(error)); });
    connect(errorReporter, &PortErrorReporter::allClosed, errorReporter,
            [this] { emit portErrorsClosed(); });
}

SerialWorker::~SerialWorker()
{
    stop();
    delete reader;
    delete errorReporter;
    delete guiSide;
}

void SerialWorker::setStatusLabel(QLabel *label)
{
    statusLabel = label;
    statusSheet = label ? label->styleSheet() : StatusStyle::initialSheet();
}

void SerialWorker::setDisplays(QLineEdit *txDataBox, QLineEdit *rxDataBox, QSpinBox *txCommandBox,
                               QSpinBox *rxCommandBox)
{
    txData = txDataBox;
    rxData = rxDataBox;
    txCommand = txCommandBox;
    rxCommand = rxCommandBox;
}

void SerialWorker::reportPortError(const QString &message)
{
    if (!errorBoxes) {
        if (!message.isEmpty())
            emit portErrorNotice(message);
        return;
    }
    errorReporter->report(message);
}

bool SerialWorker::portErrorShowing() const
{
    return errorReporter->isShowing();
}

void SerialWorker::toGui(std::function<void()> show)
{
    const int connection = wiredConnection;
    guiSide->post([this, connection, show] {
        if (reader->connection() == connection)
            show();
    });
}

void SerialWorker::toWorker(std::function<void()> task)
{
    workerSide->post(std::move(task));
}

quint8 SerialWorker::computeCheckByte(const QByteArray &bytes)
{
    return FrameCodec::computeCheckByte(bytes);
}

QStringList SerialWorker::style(const char *colour, const QString &word) const
{
    return StatusStyle::styleList(statusSheet, QLatin1String(colour), word);
}

void SerialWorker::sendPackage(QByteArray request)
{
    if (request.size() < 2)
        return;
    if (!port->isOpen()) {
        if (statusLabel) {
            statusLabel->setStyleSheet(
                StatusStyle::withColour(statusLabel->styleSheet(), QStringLiteral("red")));
            statusLabel->setText(QStringLiteral("TX ERROR"));
        }
        return;
    }
    const QList<QByteArray> frames = FrameCodec::buildFrames(request);
    for (int i = 0; i < frames.size(); ++i) {
        if (i > 0)
            QThread::usleep(FrameCodec::PayloadFrameDelayMs * 1000);
        reader->discardInput();
        port->write(frames.at(i));
        // Without the flush both frames would leave together after the pause.
        port->flush();
        emit frameWritten(QDateTime::currentDateTime(), frames.at(i));
    }
    if (txCommand)
        txCommand->setValue(quint8(request.at(1)));
    if (txData)
        txData->setText(PasswordMask::shownPayload(request));
    emit styleChanged(style("green", QStringLiteral("TX")));
    emit packetTransmited();
}

void SerialWorker::doWork()
{
    const std::lock_guard<std::mutex> lock(wiring);
    connect(port, &QSerialPort::readyRead, reader, &PortReader::readAvailable);
    connect(port, &QSerialPort::errorOccurred, reader, &PortReader::filterError);
    pending.clear();
    wiredConnection = reader->connection();
    receiveTimer = new QTimer;
    // A coarse timer may fire up to 5% early, which would split a reply that
    // paused for less than the silence.
    receiveTimer->setTimerType(Qt::PreciseTimer);
    connect(receiveTimer, &QTimer::timeout, this, &SerialWorker::receivePackage);
    // Bytes that came between the open and now raised their readyRead before
    // it was connected; pick them up.
    toGui([this] { reader->readAvailable(); });
}

void SerialWorker::stop()
{
    const std::lock_guard<std::mutex> lock(wiring);
    if (receiveTimer) {
        receiveTimer->stop();
        disconnect(receiveTimer, &QTimer::timeout, this, &SerialWorker::receivePackage);
        delete receiveTimer;
    }
    receiveTimer = nullptr;
    disconnect(port, &QSerialPort::readyRead, reader, &PortReader::readAvailable);
    disconnect(port, &QSerialPort::errorOccurred, reader, &PortReader::filterError);
    pending.clear();
    // Bytes and errors of the connection that just ended must not reach the next one.
    workerSide->discardPosted();
}

void SerialWorker::discardPending()
{
    pending.clear();
}

void SerialWorker::waitAllBytes(QByteArray chunk)
{
    if (!receiveTimer || chunk.isEmpty())
        return;
    if (!receiveTimer->isActive()) {
        pendingSince = QDateTime::currentDateTime();
        showRxData(QString());
        const QStringList rx = style("yellow", QStringLiteral("RX"));
        toGui([this, rx] { emit styleChanged(rx); });
    }
    // Like the port's 255-byte read buffer: once it is full, nothing more is
    // taken and the reply ends 300 ms after the last byte that fitted.
    if (pending.size() >= MaxReplyBytes)
        return;
    pending.append(chunk.left(MaxReplyBytes - pending.size()));
    receiveTimer->start(ReplySilenceMs);
}

void SerialWorker::receivePackage()
{
    if (receiveTimer)
        receiveTimer->stop();
    if (pending.isEmpty())
        return;
    const QByteArray received = pending;
    pending.clear();

    showRxData(FrameCodec::toHex(received));
    const FrameCodec::Received frame = FrameCodec::acceptFrame(received);
    using FrameCodec::Outcome;
    const QDateTime receivedAt = pendingSince;
    const Outcome outcome = frame.outcome;
    toGui([this, receivedAt, received, outcome] {
        emit frameReceived(receivedAt, received, outcome);
    });
    QList<QStringList> styles;
    if (!frame.checkByteOk)
        styles.append(style("red", outcomeText(Outcome::CheckByteError)));
    if (frame.outcome == Outcome::BadPacket)
        styles.append(style("red", outcomeText(Outcome::BadPacket)));
    else if (frame.checkByteOk)
        styles.append(style("green", outcomeText(Outcome::Success)));
    toGui([this, styles] {
        for (const QStringList &each : styles)
            emit styleChanged(each);
    });
    if (frame.outcome == Outcome::BadPacket)
        return;

    showRxCommand(frame.reply.size() >= 2 ? quint8(frame.reply.at(1)) : 0);
    showRxData(FrameCodec::toHex(frame.reply.mid(2)));
    const QByteArray reply = frame.reply;
    // A reply that fails its check byte is not the device's data: it is shown
    // in the traffic boxes like any other, but handed on apart.
    if (frame.checkByteOk)
        toGui([this, reply, receivedAt] { emit receiveEnd(reply, receivedAt); });
    else
        toGui([this, reply, receivedAt] { emit receiveCorrupted(reply, receivedAt); });
}

void SerialWorker::portError(QSerialPort::SerialPortError error)
{
    const QString message = portErrorMessage(error);
    if (!message.isEmpty())
        toGui([this, message] { emit portErrorText(message); });
}

void SerialWorker::showRxData(const QString &hex)
{
    if (!rxData)
        return;
    QLineEdit *box = rxData;
    toGui([box, hex] { box->setText(hex); });
}

void SerialWorker::showRxCommand(int command)
{
    if (!rxCommand)
        return;
    QSpinBox *box = rxCommand;
    toGui([box, command] { box->setValue(command); });
}
