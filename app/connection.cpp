#include "app/mainwindow.h"

#include "app/userfile.h"
#include "link/serialworker.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QSerialPortInfo>
#include <QThread>

namespace {

// The name to open is what comes before the first space of the list entry.
QString portNameOf(const QString &entry)
{
    const int space = entry.indexOf(QLatin1Char(' '));
    return space < 0 ? entry : entry.left(space);
}

} // namespace

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
    if (serialPort.isOpen()) {
        ui->buttonConnect->setText(QStringLiteral("Подключиться"));
        closeConnection();
    } else {
        const QString name = portNameOf(ui->comboPort->currentText());
        const QSerialPortInfo info(name);
        // Pseudo-terminals are never enumerated; open those by the name as given.
        if (!info.isNull())
            serialPort.setPort(info);
        else
            serialPort.setPortName(name);
        serialPort.setDataBits(QSerialPort::Data8);
        serialPort.setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
        serialPort.setStopBits(QSerialPort::OneStop);
        serialPort.setParity(QSerialPort::OddParity);
        serialPort.setReadBufferSize(255);
        if (!name.isEmpty() && serialPort.open(QIODevice::ReadWrite)) {
            serialPort.setTextModeEnabled(false);
            // Whatever the window shows, nothing has been read from this device yet.
            deviceRecord = DeviceRecord();
            userRequests.clear();
            lineNotice.clear();
            ui->buttonConnect->setText(QStringLiteral("Отключиться"));
            workerThread->start(QThread::InheritPriority);
            emit portOpen();
        }
    }
    changeControlsEnabled();
    showDeviceIdentity();
}

// Closes the port and waits for the worker thread, so that a quick reconnect
// finds the thread stopped and starts it afresh.
void MainWindow::closeConnection()
{
    endTestRun(RunEnd::Disconnect);
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

// The device end of the line has gone: an adapter pulled, the far end of a
// pseudo-terminal closed. Such a port wakes the event loop with one error
// after another, fast enough to starve the box below, so it is closed first.
// The indicator and the status bar say what happened and what it ended, the
// box the error calls for (if any) says why, and the connection ends as
// "Отключиться" ends it.
void MainWindow::closeLostLine(const QString &message)
{
    if (!serialPort.isOpen())
        return;
    const QString port = portNameOf(ui->comboPort->currentText());
    const QString runFile =
        testRunning && testLogFile ? UserFile::shownPath(testLogFile->fileName()) : QString();
    pollTimer.stop();
    serialPort.close();
    endTestRun(RunEnd::LineLost);
    noAnswerTimer.stop();
    setStatusColour(QStringLiteral("red"), QStringLiteral("NO LINE"));
    lineNotice.setText(runFile.isEmpty()
                           ? QStringLiteral("Связь потеряна: порт %1.").arg(port)
                           : QStringLiteral("Связь потеряна: порт %1. Испытание остановлено, "
                                            "файл %2.")
                                 .arg(port, runFile));
    worker->reportPortError(message);
    if (!workerThread->isRunning())
        return; // ended meanwhile
    ui->buttonConnect->setText(QStringLiteral("Подключиться"));
    closeConnection();
    changeControlsEnabled();
}

// A run in progress is not ended by a stray click: the window asks first.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (testRunning &&
        !askYesNo(QStringLiteral("Идёт испытание"),
                  QStringLiteral("Идёт испытание, файл %1.\nЗавершить испытание и закрыть окно?")
                      .arg(UserFile::shownPath(testLogFile->fileName())))) {
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
    ui->refreshButton->setEnabled(!open);
    ui->comboPort->setEnabled(!open);
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
    ui->pushButtonStopTesting->setEnabled(false);
}
