#include "app/mainwindow.h"

#include "rack/rackwindow.h"

RackWindow *MainWindow::openRack()
{
    if (!rackWindow) {
        rackWindow = new RackWindow(this);
        rackWindow->setKindNames(kindNames());
        rackWindow->addPortNames(addedPorts);
    }
    rackWindow->show();
    rackWindow->raise();
    rackWindow->activateWindow();
    return rackWindow;
}

void MainWindow::on_showRack_triggered()
{
    openRack();
}
