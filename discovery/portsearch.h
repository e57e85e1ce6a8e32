#pragma once

#include "device/replies.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

// Looks for the transmitter on a list of ports, one after another: opens each
// with the line's settings, sends one DeviceInfo read, waits up to
// AnswerTimeoutMs for a good answer and closes the port again. It runs from the
// event loop, so the window stays usable, holds at most one port open at a
// time, and tries every port: more than one may have a transmitter on it.
class PortSearch : public QObject
{
    Q_OBJECT
public:
    static constexpr int AnswerTimeoutMs = 1000;

    // NotTheDevice: a whole frame came, but no DeviceInfo answer (an echo, another
    // device); Noise: bytes came, but not one whole frame among them.
    enum class Verdict { Answered, NotOpened, NoAnswer, NotTheDevice, Noise, Vanished };

    struct PortResult
    {
        QString port;
        Verdict verdict = Verdict::NoAnswer;
        QString reason; // why the port would not open, where the port says
        std::optional<Device::DeviceInfoReply> info; // what an Answered port said
    };

    explicit PortSearch(QObject *parent = nullptr);
    ~PortSearch() override;

    void start(const QStringList &portNames);
    // Closes the port being tried; nothing more is tried and nothing is emitted.
    void cancel();

    // Every port tried so far, in order.
    QList<PortResult> results() const { return tried; }
    // The ports that answered, in the order tried.
    QList<PortResult> answered() const;

    // A DeviceInfo answer with a good check byte and a success code anywhere in
    // the bytes received (an adapter may echo the request first); nothing for
    // silence, garbage or any other frame.
    static std::optional<Device::DeviceInfoReply> deviceInfoIn(const QByteArray &received);
    // "нет ответа", "отвечает помехами", "не открылся: …": the verdict as the
    // result box lists it.
    static QString verdictText(const PortResult &result);

signals:
    // About to try ports[index].
    void probing(int index, const QString &portName);
    void finished();

private:
    void probeNext();
    void readAnswer();
    void portFailed(QSerialPort::SerialPortError error);
    void endProbe(Verdict verdict, const QString &reason = QString());

    QSerialPort port;
    QTimer deadline;
    QStringList ports;
    QTimer nextPort; // each port is tried from the event loop, not from the last one's handlers
    int next = 0;
    QByteArray received;
    QList<PortResult> tried;
    std::optional<Device::DeviceInfoReply> answer; // of the port being tried
};
