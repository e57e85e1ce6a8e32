#include "app/mainwindow.h"

#include "device/requests.h"
#include "link/linesettings.h"
#include "link/serialworker.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QSerialPortInfo>
#include <QThread>
#include <QTime>

void MainWindow::fillPortList()
{
    ui->comboPort->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    QStringList listed;
    for (const QSerialPortInfo &port : ports) {
        ui->comboPort->addItem(port.portName() + QStringLiteral(" | ") + port.description());
        listed << port.portName();
    }
    for (const QString &name : addedPorts) {
        if (!listed.contains(name))
            ui->comboPort->addItem(name + QStringLiteral(" | "));
    }
}

void MainWindow::addPort(const QString &name)
{
    if (name.isEmpty())
        return;
    if (!addedPorts.contains(name))
        addedPorts << name;
    fillPortList();
    const int index = ui->comboPort->findText(name + QStringLiteral(" | "), Qt::MatchStartsWith);
    ui->comboPort->setCurrentIndex(index);
}

void MainWindow::on_refreshButton_clicked()
{
    fillPortList();
}

void MainWindow::on_buttonConnect_clicked()
{
    pollTimer.stop();
    testTimer.stop();
    if (lineWait == LineWait::Waiting) {
        // "Отключиться" while a run waits for its line: the wait and the run end.
        endTestRun(RunEnd::Disconnect);
    } else if (serialPort.isOpen()) {
        ui->buttonConnect->setText(QStringLiteral("Подключиться"));
        closeConnection();
    } else if (openLine(LineSettings::portNameOf(ui->comboPort->currentText()))) {
        // Whatever the window shows, nothing has been read from this device yet.
        deviceRecord = DeviceRecord();
        tellLine(QString());
    }
    changeControlsEnabled();
    showDeviceIdentity();
}

// Opens the port with the line's fixed settings and starts the worker.
bool MainWindow::openLine(const QString &name)
{
    const QSerialPortInfo info(name);
    // Pseudo-terminals are never enumerated; open those by the name as given.
    if (!info.isNull())
        serialPort.setPort(info);
    else
        serialPort.setPortName(name);
    LineSettings::apply(serialPort);
    serialPort.setReadBufferSize(255);
    if (name.isEmpty() || !serialPort.open(QIODevice::ReadWrite))
        return false;
    serialPort.setTextModeEnabled(false);
    userRequests.clear();
    ui->buttonConnect->setText(QStringLiteral("Отключиться"));
    workerThread->start(QThread::InheritPriority);
    emit portOpen();
    return true;
}

// Closes the port and waits for the worker thread, so that a quick reconnect
// finds the thread stopped and starts it afresh.
void MainWindow::releaseLine()
{
    serialPort.close();
    workerThread->quit();
    workerThread->wait();
    // Replies held back by an open box came from the connection that just ended.
    deferredReplies.clear();
    replyWindow.stop();
    liveValuesDue = false;
    userRequests.clear();
    userRequestTimer.stop();
    emit portClose();
    showDeviceIdentity();
}

void MainWindow::closeConnection()
{
    endTestRun(RunEnd::Disconnect);
    releaseLine();
}

// The device end of the line has gone: an adapter pulled, the far end of a
// pseudo-terminal closed. Such a port wakes the event loop with one error
// after another, fast enough to starve the box below, so it is closed first.
// A test run then waits for the port to come back. Otherwise the indicator
// and the status bar say what happened, the box the error calls for (if any)
// says why, and the connection ends as "Отключиться" ends it.
void MainWindow::closeLostLine(const QString &message)
{
    if (!serialPort.isOpen())
        return;
    const QString port = LineSettings::portNameOf(ui->comboPort->currentText());
    if (testRunning) {
        waitForLine(port);
        return;
    }
    pollTimer.stop();
    serialPort.close();
    endTestRun(RunEnd::LineLost);
    noAnswerTimer.stop();
    setStatusColour(QStringLiteral("red"), QStringLiteral("NO LINE"));
    tellLine(QStringLiteral("Связь потеряна: порт %1.").arg(port));
    worker->reportPortError(message);
    if (!workerThread->isRunning())
        return; // ended meanwhile
    ui->buttonConnect->setText(QStringLiteral("Подключиться"));
    closeConnection();
    changeControlsEnabled();
}

void MainWindow::waitForLine(const QString &port)
{
    pollTimer.stop();
    testTimer.stop();
    noAnswerTimer.stop();
    verifyTimer.stop();
    if (deviceRecord.info)
        serialBeforeLoss = deviceRecord.info->serialNumber;
    releaseLine();
    lineWait = LineWait::Waiting;
    waitedPort = port;
    lineWaitClock.start();
    reopenTimer.start();
    setStatusColour(QStringLiteral("orange"), QStringLiteral("RECONNECT"));
    tellLine(QStringLiteral("Связь потеряна: порт %1. Испытание продолжится, когда "
                            "порт вернётся (ожидание до 10 минут).")
                 .arg(port));
    noteRunEvent(QStringLiteral("Связь потеряна: порт %1").arg(port));
    changeControlsEnabled();
}

// The same port, by the same name: a port back under another name is another line.
void MainWindow::tryReopenLine()
{
    if (lineWaitClock.elapsed() >= LineWaitMs) {
        endTestRun(RunEnd::LineLost);
        return;
    }
    if (!openLine(waitedPort))
        return;
    reopenTimer.stop();
    lineWait = LineWait::Verifying;
    changeControlsEnabled();
    // Which device is on the line now? Without an answer the run goes on all the same.
    deviceRecord.info.reset();
    showDeviceIdentity();
    worker->sendPackage(Device::readRequest(Device::Command::DeviceInfo));
    verifyTimer.start();
}

// Called once the serial number has been read again, or the time for it has passed.
void MainWindow::lineBack()
{
    verifyTimer.stop();
    if (lineWait != LineWait::Verifying)
        return;
    const std::optional<qint32> serialNow =
        deviceRecord.info ? std::optional<qint32>(deviceRecord.info->serialNumber) : std::nullopt;
    if (serialBeforeLoss && serialNow && *serialBeforeLoss != *serialNow) {
        // Ending the run ends the wait, and with it the serial number kept for it.
        const qint32 serialBefore = *serialBeforeLoss;
        // Nothing read before the loss but the serial number just read is this device's.
        const std::optional<Device::DeviceInfoReply> info = deviceRecord.info;
        deviceRecord = DeviceRecord();
        deviceRecord.info = info;
        endTestRun(RunEnd::OtherDevice, QString::number(*serialNow));
        tellLine(QString());
        tellRunEnded(QStringLiteral("На линии другой прибор: № %1 вместо № %2.\n"
                                    "Испытание завершено.")
                         .arg(*serialNow)
                         .arg(serialBefore));
        return;
    }
    lineWait = LineWait::None;
    noteRunEvent(serialNow ? QStringLiteral("Связь восстановлена: порт %1, прибор № %2")
                                 .arg(waitedPort)
                                 .arg(*serialNow)
                           : QStringLiteral("Связь восстановлена: порт %1, серийный номер не "
                                            "считан")
                                 .arg(waitedPort));
    tellLine(QStringLiteral("Связь восстановлена в %1: испытание продолжается.")
                 .arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))));
    changeControlsEnabled();
    ui->pushButtonStartTesting->setEnabled(false);
    ui->pushButtonStopTesting->setEnabled(true);
    runCommandOne();
    testTimer.start();
}

// The run ended while it waited for its line ("Стоп", "Отключиться", closing
// the window, the wait running out): what is left of the connection goes.
void MainWindow::abandonLineWait()
{
    const LineWait was = lineWait;
    lineWait = LineWait::None;
    reopenTimer.stop();
    verifyTimer.stop();
    serialBeforeLoss.reset();
    if (was == LineWait::Waiting) {
        ui->buttonConnect->setText(QStringLiteral("Подключиться"));
        setStatusColour(QStringLiteral("red"), QStringLiteral("NO LINE"));
        tellLine(QStringLiteral("Связь потеряна: порт %1. Испытание остановлено, файл %2.")
                     .arg(waitedPort, runFileShown()));
    }
    changeControlsEnabled();
}

// A run in progress is not ended by a stray click: the window asks first.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (testRunning &&
        !askYesNo(QStringLiteral("Идёт испытание"),
                  QStringLiteral("Идёт испытание, файл %1.\nЗавершить испытание и закрыть окно?")
                      .arg(runFileShown()))) {
        event->ignore();
        return;
    }
    endTestRun(RunEnd::WindowClosed);
    if (serialPort.isOpen())
        closeConnection();
    event->accept();
}

void MainWindow::changeControlsEnabled()
{
    const bool open = serialPort.isOpen();
    // A run waiting for its line keeps the port it waits for.
    const bool held = open || lineWait != LineWait::None;
    ui->refreshButton->setEnabled(!held);
    ui->comboPort->setEnabled(!held);
    // The search opens ports of its own: offered exactly while the port list may change.
    ui->findDevice->setEnabled(!held);
    const auto connectionControls = {ui->buttonFactoryMode,
                                     ui->startButton,
                                     ui->readConfig,
                                     ui->buttonReadProbeType,
                                     ui->buttonWriteProbeType,
                                     ui->buttonReadDeviceInfo,
                                     ui->buttonWriteDeviceInfo,
                                     ui->buttonFirstPoint,
                                     ui->buttonSecondPoint,
                                     ui->buttonReadADC,
                                     ui->buttonWriteADC,
                                     ui->buttonClearEEPROM,
                                     ui->buttonFactoryResetSettings,
                                     ui->buttonSaveFactorySettings,
                                     ui->buttonReadRefAndMeas,
                                     ui->buttonWriteRefAndMeas,
                                     ui->pushButtonStartTesting};
    for (QPushButton *control : connectionControls)
        control->setEnabled(open);
    ui->stopButton->setEnabled(false);
    ui->pushButtonStopTesting->setEnabled(testRunning && lineWait != LineWait::None);
}
