#pragma once

#include <QObject>
#include <QSerialPort>

// The GUI-thread half of the serial worker. The port belongs to the GUI
// thread, so every read and clear happens here; the worker thread only ever
// sees copies of the bytes. Errors that have no message are dropped here, so a
// port that raises ReadError thousands of times a second does not flood the
// worker's queue.
class PortReader : public QObject
{
    Q_OBJECT
public:
    explicit PortReader(QSerialPort *port, QObject *parent = nullptr);

    // Discards unread input, including what was read but not yet handed on.
    void discardInput();

public slots:
    void readAvailable();
    void filterError(QSerialPort::SerialPortError error);

signals:
    void bytesRead(QByteArray chunk);
    void inputDiscarded();
    void errorRaised(QSerialPort::SerialPortError error);

private:
    QSerialPort *port;
};
