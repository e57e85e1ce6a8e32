#include "app/mainwindow.h"

#include "config/writeverify.h"
#include "device/devicewords.h"
#include "device/replies.h"
#include "ui_mainwindow.h"

#include <QTimer>

// "Инструменты" → "Записать и проверить": the settings and correction points
// the window shows go to the device by the buttons' road, one request at a
// time, and one box tells the outcome. The window's tabs wait meanwhile, so
// that no other request cuts in; polling stops and resumes afterwards.

void MainWindow::setUpWriteAndVerify()
{
    // A run's record must not mix two configurations. A run's end sends no
    // signal, so the menu looks again each time it opens.
    connect(ui->menu, &QMenu::aboutToShow, this, &MainWindow::updateWriteAndVerifyEnabled);
    connect(this, &MainWindow::portOpen, this, &MainWindow::updateWriteAndVerifyEnabled);
    connect(this, &MainWindow::testRunStarted, this,
            [this] { ui->writeAndVerify->setEnabled(false); });
    connect(this, &MainWindow::portClose, this, [this] {
        if (writeVerify) {
            writeVerify->fail(DeviceWords::connectionClosed());
            finishWriteVerify(true);
        }
        updateWriteAndVerifyEnabled();
    });
    updateWriteAndVerifyEnabled();
}

void MainWindow::updateWriteAndVerifyEnabled()
{
    ui->writeAndVerify->setEnabled(serialPort.isOpen() && !testRunning && !writeVerify);
}

void MainWindow::on_writeAndVerify_triggered()
{
    if (!serialPort.isOpen() || testRunning || writeVerify)
        return;
    if (!catalogue.encode(ui->comboGradType->currentIndex(), ui->comboGradName->currentIndex())) {
        showInformation(WriteVerify::title(),
                        QStringLiteral("Ничего не записано: выбранный чувствительный элемент не "
                                       "задаётся."));
        return;
    }
    pollAfterWriteVerify = pollTimer.isActive();
    if (pollAfterWriteVerify)
        on_stopButton_clicked();
    writeVerify =
        std::make_unique<WriteVerify>(shownProbeType(), shownCorrectionPoints(), deviceWords());
    ui->tabWidget->setEnabled(false);
    updateWriteAndVerifyEnabled();
    sendUserRequest(writeVerify->request(), QString(), true);
}

// A step's reply: the controls and the record take it as a button's reply;
// a device error shows on the indicator, and the outcome box tells it.
void MainWindow::continueWriteVerify(const Reply &received)
{
    if (received.corrupted) {
        writeVerify->fail(DeviceWords::replyResult(received.data, true));
    } else {
        const Device::ReplyHeader reply = Device::parseReply(received.data);
        const bool error = reply.resultCode && reportResultCode(*reply.resultCode, false);
        if (!error) {
            recordReply(reply);
            decodeReply(reply.command, reply.data);
        }
        writeVerify->take(received.data);
    }
    if (writeVerify->finished())
        finishWriteVerify();
    else
        sendUserRequest(writeVerify->request(), QString(), true);
}

// When the connection has ended, the box waits for the closing to finish.
void MainWindow::finishWriteVerify(bool boxLater)
{
    const QString outcome = writeVerify->outcome();
    writeVerify.reset();
    ui->tabWidget->setEnabled(true);
    updateWriteAndVerifyEnabled();
    if (pollAfterWriteVerify && serialPort.isOpen() && ui->tabWidget->currentIndex() == 0)
        on_startButton_clicked();
    pollAfterWriteVerify = false;
    if (boxLater)
        QTimer::singleShot(0, this,
                           [this, outcome] { showInformation(WriteVerify::title(), outcome); });
    else
        showInformation(WriteVerify::title(), outcome);
}
