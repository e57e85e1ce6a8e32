#include "debug/debugwindow.h"

#include "app/mainwindow.h"
#include "debug/hexinput.h"
#include "link/serialworker.h"
#include "ui_debugwindow.h"

#include <QSerialPort>
#include <QThread>

DebugWindow::DebugWindow(QWidget *parent, SerialWorker *worker, QSerialPort *port)
    : QDialog(parent), ui(new Ui::DebugWindow), worker(worker), port(port)
{
    ui->setupUi(this);
    worker->setDisplays(ui->TxData, ui->RxData, ui->TxCommand, ui->RxCommand);
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
}

void DebugWindow::changeEnabled()
{
    ui->sendButton->setEnabled(port->isOpen());
}

void DebugWindow::on_manualSendButton_clicked()
{
    if (!port->isOpen())
        return;
    // Each group goes to the line as typed, unframed, with a short pause after
    // it. The flush hands the group to the line before the pause, so the
    // device really sees the gaps.
    const QList<QByteArray> groups = HexInput::rawGroups(ui->ManualTxData->text());
    for (const QByteArray &group : groups) {
        if (!group.isEmpty()) {
            port->write(group);
            port->flush();
        }
        QThread::msleep(RawGroupPauseMs);
    }
}
