#include "app/mainwindow.h"

#include "session/devicesession.h"

#include <QMessageBox>
#include <QPushButton>

void MainWindow::showInformation(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, this);
    execHoldingReplies(box);
}

bool MainWindow::askYesNo(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    return execHoldingReplies(box) == QMessageBox::Yes;
}

// A box runs its own event loop: replies that arrive while it is open wait
// until it has closed, and are then taken in the order they came.
int MainWindow::execHoldingReplies(QMessageBox &box)
{
    session->holdReplies();
    const int result = box.exec();
    session->releaseReplies();
    return result;
}
