#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QSerialPort;
class QThread;
class SerialWorker;

// One transmitter's line: its port, the worker that frames and assembles, the
// worker's thread, and the time an answer may take. Everything here runs in
// the GUI thread but the worker's reception.
class SerialLine : public QObject
{
    Q_OBJECT
public:
    static constexpr int NoAnswerMs = 5000;

    // `owner` names the line to another line of ours that wants its port.
    explicit SerialLine(const QString &owner, QObject *parent = nullptr);
    ~SerialLine() override;

    // Opens the port with the line's fixed settings and starts the worker. On
    // failure nothing is open and `whyNot` says why, in the user's words.
    bool open(const QString &name, QString *whyNot = nullptr);
    // Closes the port and waits for the worker's thread, so a quick reopen
    // finds it stopped. A line waited for keeps its claim on the port, so that
    // no other line of ours takes it meanwhile.
    void close(bool keepClaim = false);
    void releaseClaim();
    // Only the port: a port whose device has gone storms the event loop with
    // errors until it is closed.
    void closePort();
    bool isOpen() const;
    // The worker still runs (closePort() leaves it).
    bool isActive() const;
    QString portName() const { return name; }
    QString ownerName() const { return owner; }

    // The user's request: the time for an answer starts over.
    void send(const QByteArray &request);
    // A request the program repeats on its own (polling, a run): it starts the
    // time for an answer only when none is running, so a device that stays
    // silent is told so however often it is asked.
    void sendRoutine(const QByteArray &request);
    // Raw bytes as typed, unframed, handed to the line at once.
    void writeRaw(const QByteArray &bytes);
    void stopNoAnswerTimer() { noAnswerTimer.stop(); }

    SerialWorker *worker() const { return serialWorker; }

signals:
    void opened();
    // Each reply with the time its first byte arrived.
    void replyReceived(QByteArray reply, QDateTime receivedAt);
    void corruptedReplyReceived(QByteArray reply, QDateTime receivedAt);
    // Bytes that made no frame the device could have sent.
    void replyRejected(QByteArray bytes, QDateTime receivedAt);
    void styleChanged(QStringList style);
    // `routine` for a request the program repeats on its own.
    void requestSent(bool routine);
    // No reply with a good check byte for NoAnswerMs after a request;
    // `onlyRejected` when bytes came all the same, none of them such a reply.
    void notAnswered(bool onlyRejected);
    // The device end has gone; `message` is the box the error calls for.
    void lost(QString message);
    void errorBoxesClosed();

private:
    void requestWritten();

    QString owner;
    QString name;
    QString ownerKey; // while open, or waited for
    QSerialPort *port;
    QThread *thread;
    SerialWorker *serialWorker;
    QTimer noAnswerTimer;
    bool routineSend = false;
    bool rejectedSinceRequest = false;
};
