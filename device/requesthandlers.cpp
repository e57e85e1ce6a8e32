#include "app/mainwindow.h"

#include "device/requests.h"
#include "link/serialworker.h"
#include "ui_mainwindow.h"

// One handler per device control: each builds its request from the controls
// and hands it to the worker once.

void MainWindow::on_buttonReadProbeType_clicked()
{
    worker->sendPackage(Device::readRequest(Device::Command::ProbeType));
}

void MainWindow::on_buttonWriteProbeType_clicked()
{
    // Voltage cannot be written, and neither can "no kind" after a device
    // reported one this program does not know.
    if (catalogue.encode(ui->comboGradType->currentIndex(), ui->comboGradName->currentIndex()))
        worker->sendPackage(Device::writeProbeType(shownProbeType()));
}

Device::ProbeTypeSettings MainWindow::shownProbeType() const
{
    Device::ProbeTypeSettings settings;
    if (const std::optional<SensorSelection> selection =
            catalogue.encode(ui->comboGradType->currentIndex(), ui->comboGradName->currentIndex()))
        settings.selection = *selection;
    settings.lower = ui->LowerRange->value();
    settings.upper = ui->UpperRange->value();
    settings.dampingBuffer = ui->dempBuffSize->value();
    settings.compensation = ui->CompensationCheckBox->isChecked();
    settings.hysteresis = ui->Hyst->value();
    return settings;
}

void MainWindow::on_buttonFirstPoint_clicked()
{
    worker->sendPackage(Device::autoCalibration(Device::CalibrationPoint::First));
}

void MainWindow::on_buttonSecondPoint_clicked()
{
    worker->sendPackage(Device::autoCalibration(Device::CalibrationPoint::Second));
}

void MainWindow::on_buttonWriteFixedCurrent_clicked()
{
    worker->sendPackage(Device::fixedCurrent(ui->LoopCurrent->value()));
}

void MainWindow::on_buttonReadADC_clicked()
{
    worker->sendPackage(Device::readRequest(Device::Command::ADC));
}

void MainWindow::on_buttonWriteADC_clicked()
{
    worker->sendPackage(Device::writeADC({ui->ADC_FSR->value(), ui->ADC_OCR->value()}));
}

void MainWindow::on_buttonReadDeviceInfo_clicked()
{
    worker->sendPackage(Device::readRequest(Device::Command::DeviceInfo));
}

void MainWindow::on_buttonWriteDeviceInfo_clicked()
{
    worker->sendPackage(Device::writeDeviceInfo(ui->CurrentDate->date(), ui->Number->value()));
}

void MainWindow::on_buttonClearEEPROM_clicked()
{
    worker->sendPackage(Device::eepromOperation(Device::EepromOperation::Clear));
}

void MainWindow::on_buttonSaveFactorySettings_clicked()
{
    worker->sendPackage(Device::eepromOperation(Device::EepromOperation::SaveAsFactory));
}

void MainWindow::on_buttonFactoryResetSettings_clicked()
{
    worker->sendPackage(Device::eepromOperation(Device::EepromOperation::ResetToFactory));
}

void MainWindow::on_buttonFactoryMode_clicked()
{
    // The password is the device's business: it goes out as typed, even empty.
    worker->sendPackage(Device::factoryMode(ui->passwordLine->text()));
}

void MainWindow::on_buttonReadRefAndMeas_clicked()
{
    worker->sendPackage(Device::readRequest(Device::Command::RefAndMeas));
}

void MainWindow::on_buttonWriteRefAndMeas_clicked()
{
    worker->sendPackage(Device::writeRefAndMeas(shownCorrectionPoints()));
}

void MainWindow::on_buttonReadCJ_clicked()
{
    worker->sendPackage(Device::readRequest(Device::Command::CJ));
}

void MainWindow::on_buttonWriteCJ_clicked()
{
    worker->sendPackage(Device::writeCJ({ui->CJ_FSR->value(), ui->CJ_OCR->value()}));
}
