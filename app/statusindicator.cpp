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
