#include "debug/debugwindow.h"

#include "app/mainwindow.h"
#include "debug/hexinput.h"
#include "link/serialworker.h"
#include "ui_debugwindow.h"

#include <QSerialPort>

DebugWindow::DebugWindow(QWidget *parent, SerialWorker *worker, QSerialPort *port)
    : QDialog(parent), ui(new Ui::DebugWindow), worker(worker), port(port)
{
    ui->setupUi(this);
    worker->setDisplays(ui->TxData, ui->RxData, ui->TxCommand, ui->RxCommand);
    rawPause.setSingleShot(true);
    rawPause.setTimerType(Qt::PreciseTimer);
    rawPause.setInterval(RawGroupPauseMs);
    connect(&rawPause, &QTimer::timeout, this, &DebugWindow::sendNextRawGroup);
    if (auto *mainWindow = qobject_cast<MainWindow *>(parent)) {
        connect(mainWindow, &MainWindow::portOpen, this, &DebugWindow::changeEnabled);
        connect(mainWindow, &MainWindow::portClose, this, &DebugWindow::changeEnabled);
    }
}

DebugWindow::~DebugWindow()
{
    delete ui;
}

void DebugWindow::on_sendButton_clicked()
{
    if (!port->isOpen())
        return;
    QByteArray request;
    request.append(char(ui->TxCommand->value() & 0xFF));
    request.append(HexInput::decode(ui->TxData->text()));
    worker->sendPackage(request);
    emit requestSent(request);
}

void DebugWindow::changeEnabled()
{
    ui->sendButton->setEnabled(port->isOpen());
    if (!port->isOpen()) {
        rawGroups.clear();
        rawPause.stop();
    }
}

void DebugWindow::on_manualSendButton_clicked()
{
    if (!port->isOpen())
        return;
    // A second click while groups are still going out queues its groups after them.
    const QList<QByteArray> groups = HexInput::rawGroups(ui->ManualTxData->text());
    rawGroups.append(groups);
    QByteArray all;
    for (const QByteArray &group : groups)
        all.append(group);
    emit rawBytesSent(all);
    if (!rawPause.isActive())
        sendNextRawGroup();
}

// Each group goes to the line as typed, unframed, with a short pause after
// it. The flush hands the group to the line before the pause, so the device
// really sees the gaps.
void DebugWindow::sendNextRawGroup()
{
    if (rawGroups.isEmpty() || !port->isOpen())
        return;
    const QByteArray group = rawGroups.takeFirst();
    if (!group.isEmpty()) {
        port->write(group);
        port->flush();
    }
    rawPause.start();
}
