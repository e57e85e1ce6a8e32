#pragma once

#include <QObject>
#include <QSerialPort>

#include <atomic>

// The GUI-thread half of the serial worker. The port belongs to the GUI
// thread, so every read and clear happens here; the worker thread only ever
// sees copies of the bytes. Errors that have no message are dropped here, so a
// port that raises ReadError thousands of times a second does not flood the
// worker's queue. A port whose device has gone is told apart from one that
// merely had a bad moment, and reported once as lineLost.
class PortReader : public QObject
{
    Q_OBJECT
public:
    // ReadErrors in a row, with nothing read between them, that mean the device
    // file is gone (see filterError).
    static constexpr int LostLineReadErrors = 20;

    explicit PortReader(QSerialPort *port, QObject *parent = nullptr);

    // Discards unread input, including what was read but not yet handed on.
    void discardInput();

    // How many times the port has been closed; any thread. What a connection
    // shows is stamped with the count at its start and dropped once it differs.
    int connection() const { return closes.load(); }

public slots:
    void readAvailable();
    void filterError(QSerialPort::SerialPortError error);

signals:
    void bytesRead(QByteArray chunk);
    void inputDiscarded();
    void errorRaised(QSerialPort::SerialPortError error);
    // The device end of the line has gone; emitted once until the port closes.
    void lineLost(QSerialPort::SerialPortError error);

private:
    void portClosing();

    QSerialPort *port;
    std::atomic<int> closes{0};
    int silentReadErrors = 0; // GUI thread only, like the two below
    bool lost = false;
};
