#include "support/simwindow.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>
#include <QThread>
#include <QtEndian>

namespace TestSupport {

std::unique_ptr<veltra::sim::Simulator> startSimulator(qint32 serial,
                                                       const veltra::sim::Faults &faults)
{
    auto simulator = std::make_unique<veltra::sim::Simulator>();
    if (!simulator->openPty())
        return nullptr;
    veltra::sim::DeviceState state = simulator->state();
    state.production.serial = serial;
    simulator->setState(state);
    simulator->setFaults(faults);
    simulator->start();
    return simulator;
}

SimWindow::SimWindow() : mainWindow(std::make_unique<MainWindow>())
{
    if (simulator.openPty())
        simulator.start();
}

SimWindow::~SimWindow()
{
    disconnectWindow();
    mainWindow->close();
    mainWindow.reset();
    simulator.stop();
}

bool SimWindow::connectWindow()
{
    // As "veltra-configurator --port <pty>" does it.
    const QString pty = QString::fromStdString(simulator.devicePath());
    mainWindow->addPort(pty);
    if (!find<QComboBox>("comboPort")->currentText().startsWith(pty + " | "))
        return false;
    click("buttonConnect");
    return isConnected();
}

void SimWindow::disconnectWindow()
{
    if (isConnected())
        click("buttonConnect");
}

bool SimWindow::isConnected() const
{
    // Closing the window ends the connection but leaves the button's text.
    return mainWindow->findChild<QThread *>()->isRunning();
}

void SimWindow::click(const char *buttonName)
{
    auto *button = find<QPushButton>(buttonName);
    QVERIFY2(button, buttonName);
    QTest::mouseClick(button, Qt::LeftButton);
}

QByteArray SimWindow::lineBytes() const
{
    const std::vector<uint8_t> received = simulator.receivedBytes();
    return QByteArray(reinterpret_cast<const char *>(received.data()), int(received.size()));
}

void SimWindow::clearLine()
{
    simulator.clearLogs();
}

bool SimWindow::waitForReplies(size_t total, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (simulator.repliesSent() < total && elapsed.elapsed() < timeoutMs)
        QTest::qWait(10);
    return simulator.repliesSent() >= total;
}

void SimWindow::settle(int ms)
{
    QTest::qWait(ms);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(char(value));
    return result;
}

namespace {

QByteArray replyWithFloats(const char *headerHex, const QList<float> &values)
{
    QByteArray reply = QByteArray::fromHex(headerHex);
    for (float value : values) {
        char little[4];
        qToLittleEndian(value, little);
        reply.append(little, 4);
    }
    return reply;
}

} // namespace

QByteArray liveValuesReply(const QList<float> &values)
{
    return replyWithFloats("0000160000", values);
}

QByteArray adcReply(quint8 resultCode, float fsr, float ocr)
{
    QByteArray reply = replyWithFloats("00020A", {});
    reply.append(char(resultCode)).append(char(0));
    return reply + replyWithFloats("", {fsr, ocr});
}

void deliver(MainWindow &window, const QByteArray &reply)
{
    QMetaObject::invokeMethod(&window, "commandProcessing", Qt::QueuedConnection,
                              Q_ARG(QByteArray, reply));
}

} // namespace TestSupport
