#include "app/mainwindow.h"

#include "link/statusstyle.h"

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

void MainWindow::waitPacket()
{
    setStatusColour(QStringLiteral("yellow"), QStringLiteral("WAIT"));
    noAnswerTimer.start();
    replyWindow.start();
}

void MainWindow::notAnswered()
{
    if (!noAnswerTimer.isActive())
        return;
    setStatusColour(QStringLiteral("red"), QStringLiteral("NOT ANSWER"));
    noAnswerTimer.stop();
}

// Which device the window talks to: the serial number this connection has
// read, or that none was read.
void MainWindow::showDeviceIdentity()
{
    if (!serialPort.isOpen())
        deviceLabel.setText(QStringLiteral("Нет подключения"));
    else if (deviceRecord.info)
        deviceLabel.setText(QStringLiteral("Прибор № %1").arg(deviceRecord.info->serialNumber));
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
