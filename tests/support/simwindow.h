#pragma once

#include "app/mainwindow.h"
#include "sim/simulator.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTimer>
#include <memory>

class QPushButton;

namespace TestSupport {

// A transmitter simulator on a pseudo-terminal and a main window connected to
// it the way a user does it: the pty added to the port list (the --port option) and
// a click on "Подключиться".
class SimWindow
{
public:
    SimWindow();
    ~SimWindow(); // disconnects, closes the window and stops the simulator

    bool connectWindow();
    void disconnectWindow();
    bool isConnected() const;

    MainWindow &window() { return *mainWindow; }
    veltra::sim::Simulator &sim() { return simulator; }

    template <typename T> T *find(const char *objectName)
    {
        return mainWindow->findChild<T *>(QLatin1String(objectName));
    }
    void click(const char *buttonName);

    // Bytes the simulator has read from the line since the last clearLine().
    QByteArray lineBytes() const;
    void clearLine();
    // Waits until the simulator has sent `total` replies since the last clearLine().
    bool waitForReplies(size_t total, int timeoutMs = 3000);
    // Waits for the worker's 300 ms of silence to pass after the last reply.
    void settle(int ms = 450);

private:
    veltra::sim::Simulator simulator;
    std::unique_ptr<MainWindow> mainWindow;
};

// A new simulator on a new pseudo-terminal, serving as transmitter `serial`;
// null when no pseudo-terminal opened.
std::unique_ptr<veltra::sim::Simulator> startSimulator(qint32 serial,
                                                       const veltra::sim::Faults &faults = {});

QByteArray bytes(std::initializer_list<int> values);

// A successful LiveValues reply (type 0, command 0) carrying these five values.
QByteArray liveValuesReply(const QList<float> &values);

// An ADC reply (type 0, command 2) with a result code and the two constants.
QByteArray adcReply(quint8 resultCode, float fsr, float ocr);

// Hands a reply to the window as a queued call, the way the worker delivers it.
void deliver(MainWindow &window, const QByteArray &reply);

} // namespace TestSupport
