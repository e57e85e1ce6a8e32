#include "app/mainwindow.h"

#include "link/linesettings.h"
#include "link/statusstyle.h"
#include "rack/rackwindow.h"
#include "session/devicesession.h"
#include "testlog/testrun.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QSerialPortInfo>

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

// "Отключиться" while a run waits for its line ends the wait and the run.
void MainWindow::on_buttonConnect_clicked()
{
    if (session->holdsPort()) {
        session->disconnectLine();
    } else {
        const QString port = LineSettings::portNameOf(ui->comboPort->currentText());
        QString whyNot;
        if (!session->connectTo(port, &whyNot))
            showInformation(QStringLiteral("Ошибка порта"),
                            port.isEmpty()
                                ? QStringLiteral("Порт не выбран.")
                                : QStringLiteral("Порт %1 не открыт: %2.").arg(port, whyNot));
    }
    changeControlsEnabled();
    showPollingState();
}

// A run in progress is not ended by a stray click: the window asks first.
void MainWindow::closeEvent(QCloseEvent *event)
{
    const int rackRuns = rackWindow ? rackWindow->runningCount() : 0;
    if (rackRuns > 0 &&
        !askYesNo(QStringLiteral("Стенд"),
                  QStringLiteral("Идут испытания на стенде: %1. Завершить все?").arg(rackRuns))) {
        event->ignore();
        return;
    }
    if (rackWindow)
        rackWindow->endAll();
    if (session->isRunning() &&
        !askYesNo(QStringLiteral("Идёт испытание"),
                  QStringLiteral("Идёт испытание, файл %1.\nЗавершить испытание и закрыть окно?")
                      .arg(session->run().shownFileName()))) {
        event->ignore();
        return;
    }
    session->endRun(RunEnd::WindowClosed);
    if (session->isOpen())
        session->disconnectLine();
    if (rackWindow)
        rackWindow->close();
    event->accept();
}

void MainWindow::changeControlsEnabled()
{
    const bool open = session->isOpen();
    // A run waiting for its line keeps the port it waits for.
    const bool held = session->holdsPort();
    ui->refreshButton->setEnabled(!held);
    ui->comboPort->setEnabled(!held);
    // The search opens ports of its own: offered exactly while the port list may change.
    ui->findDevice->setEnabled(!held);
    const auto connectionControls = {ui->buttonFactoryMode,
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
                                     ui->buttonWriteRefAndMeas};
    for (QPushButton *control : connectionControls)
        control->setEnabled(open);
    ui->startButton->setEnabled(open && !session->isPolling());
    ui->stopButton->setEnabled(false);
    ui->pushButtonStartTesting->setEnabled(open && !session->isRunning());
    ui->pushButtonStopTesting->setEnabled(session->isRunning());
}

void MainWindow::setStatusColour(const QString &colour, const QString &word)
{
    statusLabel.setStyleSheet(StatusStyle::withColour(statusLabel.styleSheet(), colour));
    statusLabel.setText(word);
}

void MainWindow::changeStatusLabel(QStringList style)
{
    if (style.size() < 2)
        return;
    statusLabel.setStyleSheet(style.at(0));
    statusLabel.setText(style.at(1));
}

// Which device the window talks to: the serial number this connection has
// read, or that none was read.
void MainWindow::showDeviceIdentity()
{
    if (!session->isOpen())
        deviceLabel.setText(QStringLiteral("Нет подключения"));
    else if (session->record().info)
        deviceLabel.setText(
            QStringLiteral("Прибор № %1").arg(session->record().info->serialNumber));
    else
        deviceLabel.setText(QStringLiteral("Прибор не считан"));
}

// A long notice (a long port path, a run's file) must not push the indicator
// out of the window: the label takes the room left and shows the rest on hover.
void MainWindow::tellLine(const QString &text)
{
    lineNotice.setText(text);
    lineNotice.setToolTip(text);
}
