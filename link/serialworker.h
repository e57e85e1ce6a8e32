#pragma once

#include "link/framecodec.h"
#include "link/statusstyle.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QSerialPort>
#include <QStringList>

#include <functional>
#include <mutex>

class QLabel;
class QLineEdit;
class QSpinBox;
class QTimer;
class PortReader;
class PortErrorReporter;
class ThreadHandOff;

// Sends framed requests and assembles replies. The worker lives in its own
// thread while the port is open; the port, the status label and the traffic
// boxes stay in the GUI thread. Reading happens in the GUI thread (PortReader)
// and the bytes travel to the worker through a ThreadHandOff; what the worker
// shows goes back through another, so no widget is touched from the worker
// thread and every crossing is one the thread sanitizer can check.
// Everything the worker shows belongs to one connection: once the port has
// closed, nothing of that connection reaches the window, even if it was on its
// way already.
class SerialWorker : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReplySilenceMs = 300;
    static constexpr int MaxReplyBytes = 255;

    explicit SerialWorker(QSerialPort *port, QObject *parent = nullptr);
    ~SerialWorker() override;

    // Called in the GUI thread, before the worker thread first starts.
    void setStatusLabel(QLabel *label);
    void setDisplays(QLineEdit *txData, QLineEdit *rxData, QSpinBox *txCommand,
                     QSpinBox *rxCommand);

    // Frames and writes one request; runs in the caller's (GUI) thread.
    void sendPackage(QByteArray request);

    static quint8 computeCheckByte(const QByteArray &bytes);

    // GUI thread: shows a port error box (one at a time, none twice), and
    // whether one is open.
    void reportPortError(const QString &message);
    bool portErrorShowing() const;
    // A line of many, where no box may stop the others: errors are told by
    // portErrorNotice() instead.
    void setErrorBoxes(bool shown) { errorBoxes = shown; }

signals:
    // Each reply comes with the time its first byte arrived, which holds
    // however late the reply is taken.
    void receiveEnd(QByteArray data, QDateTime receivedAt);
    // A reply whose check byte is wrong: its bytes cannot be trusted.
    void receiveCorrupted(QByteArray data, QDateTime receivedAt);
    void styleChanged(QStringList style);
    void packetTransmited();
    void portErrorText(QString message);
    // Emitted in the GUI thread, at once, when the device end of the line has
    // gone; the message is the box to show for the error that said so (empty
    // for none). The owner closes the port.
    void lineLost(QString message);
    // Emitted in the GUI thread when the last port error box has closed.
    void portErrorsClosed();
    // In the GUI thread, a port error to be told without a box.
    void portErrorNotice(QString message);
    // The line's traffic, in the GUI thread: each frame as written, and each
    // reply as received, stamped with its first byte, with how it was judged.
    void frameWritten(QDateTime time, QByteArray frame);
    void frameReceived(QDateTime time, QByteArray bytes, FrameCodec::Outcome outcome);

public slots:
    void doWork();
    void stop();
    void receivePackage();
    void waitAllBytes(QByteArray chunk);
    void portError(QSerialPort::SerialPortError error);

private slots:
    void discardPending();

private:
    QStringList style(const char *colour, const QString &word) const;
    void showRxData(const QString &hex);
    void showRxCommand(int command);
    // Runs `show` in the GUI thread, unless the port has closed since this
    // connection started. Everything shown goes through here, so it keeps its order.
    void toGui(std::function<void()> show);
    // Runs `task` in the worker thread, after what was posted before.
    void toWorker(std::function<void()> task);

    QSerialPort *port;
    QTimer *receiveTimer = nullptr;
    // Set in the GUI thread before the worker thread first starts and never
    // changed afterwards; the worker thread only posts updates to them.
    QLabel *statusLabel = nullptr;
    QLineEdit *txData = nullptr;
    QLineEdit *rxData = nullptr;
    QSpinBox *txCommand = nullptr;
    QSpinBox *rxCommand = nullptr;
    // The label's style sheet as set up. Every status change only recolours it,
    // so recolouring this copy gives the same sheet as recolouring the label's.
    QString statusSheet = StatusStyle::initialSheet();
    bool errorBoxes = true; // GUI thread only
    PortReader *reader;
    PortErrorReporter *errorReporter;
    ThreadHandOff *guiSide;    // lives in the GUI thread
    ThreadHandOff *workerSide; // a child, so it moves to the worker thread with it
    QByteArray pending;        // worker thread only
    QDateTime pendingSince;    // worker thread only: when its first byte came
    int wiredConnection = 0;   // worker thread only: the reader's count at doWork
    // Wiring is set up and torn down by successive runs of the thread and by
    // the destructor. Qt waits for a thread's end with a lock the thread
    // sanitizer cannot see, so this lock makes each of them see the last one.
    std::mutex wiring;
};
