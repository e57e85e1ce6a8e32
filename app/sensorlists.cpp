#include "app/mainwindow.h"

#include "ui_mainwindow.h"

// The two sensor lists. Their order of signals matters: emptying a filled type
// list reports position -1, and putting the first entries into an empty list
// reports position 0, so every change of kind passes through the type handler.

void MainWindow::on_comboGradType_currentIndexChanged(int kind)
{
    ui->comboGradName->clear();
    ui->comboGradName->setEnabled(true);
    const QStringList names = SensorCatalogue::typeNames(kind);
    if (names.isEmpty()) {
        // TMP123, voltage and "no kind" have no type to choose.
        ui->comboGradName->setEnabled(false);
        return;
    }
    ui->comboGradName->addItems(names);
    ui->comboGradName->setCurrentIndex(0);
}

void MainWindow::on_comboGradName_currentIndexChanged(int position)
{
    // The list can change while the window is still being built.
    if (catalogue.isEmpty())
        return;
    const std::optional<RangeLimits> limits =
        catalogue.limits(ui->comboGradType->currentIndex(), position);
    if (!limits)
        return; // no limits for this type: the bounds in force stay
    ui->LowerRange->setMinimum(limits->lower);
    ui->LowerRange->setMaximum(limits->upper);
    ui->UpperRange->setMinimum(limits->lower);
    ui->UpperRange->setMaximum(limits->upper);
}
