#include "app/mainwindow.h"

#include "session/devicesession.h"
#include "ui_mainwindow.h"

#include <cmath>

// What the session read from the device, put into the controls. Filling them
// is no edit of the user's: what write-and-verify writes stays as it was.

namespace {

// A value that is not a number leaves the box as it was; any other value,
// infinities included, the box clamps to its range.
void setNumber(QDoubleSpinBox *box, double value)
{
    if (!std::isnan(value))
        box->setValue(value);
}

} // namespace

std::array<QDoubleSpinBox *, 5> MainWindow::liveValueBoxes() const
{
    return {ui->preValue, ui->correctedValue, ui->tempADC, ui->tempTMP, ui->Iout};
}

void MainWindow::showLiveValues(const QList<double> &values, const QDateTime &receivedAt)
{
    liveValuesShownAt = receivedAt;
    updateLiveValuesState();
    const std::array<QDoubleSpinBox *, 5> boxes = liveValueBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i)
        setNumber(boxes[i], values.value(int(i)));
}

void MainWindow::showProbeType(const Device::ProbeTypeReply &probe)
{
    ++fillingControls;
    // The kind first: its handler refills the type list. A kind this program
    // does not know leaves no kind selected.
    const int kind = probe.kind();
    ui->comboGradType->setCurrentIndex(kind >= 0 && kind < ui->comboGradType->count() ? kind : -1);
    // Then the type, whose handler sets the range limits; an unknown code
    // leaves the type selection as it is.
    const int position = catalogue.decodePosition(probe.kindByte, probe.code);
    if (position >= 0)
        ui->comboGradName->setCurrentIndex(position);
    // The range values only once the limits of the type are in force.
    setNumber(ui->LowerRange, probe.lower);
    setNumber(ui->UpperRange, probe.upper);
    ui->dempBuffSize->setValue(probe.dampingBuffer);
    ui->CompensationCheckBox->setChecked(probe.compensation);
    if (probe.hysteresis)
        setNumber(ui->Hyst, *probe.hysteresis);
    chosenGroups.remove(Device::Command::ProbeType);
    --fillingControls;
}

void MainWindow::showDeviceInfo(const Device::DeviceInfoReply &info)
{
    ++fillingControls;
    const QDate date = info.date();
    if (date.isValid())
        ui->CurrentDate->setDate(date);
    ui->Number->setValue(info.serialNumber);
    ui->firmwareVersion->setText(info.firmware);
    chosenGroups.remove(Device::Command::DeviceInfo);
    --fillingControls;
}

void MainWindow::showCorrectionPoints(const Device::CorrectionPoints &points)
{
    ++fillingControls;
    const std::array<QDoubleSpinBox *, 10> boxes = correctionBoxes();
    for (size_t i = 0; i < 5; ++i) {
        setNumber(boxes[i], points.reference[i]);
        setNumber(boxes[i + 5], points.measured[i]);
    }
    ui->CorrectionCheckBox->setChecked(points.enabled);
    chosenGroups.remove(Device::Command::RefAndMeas);
    --fillingControls;
}

void MainWindow::showConstants(quint8 command, const Device::ConverterConstants &constants)
{
    ++fillingControls;
    const bool adc = command == Device::Command::ADC;
    setNumber(adc ? ui->ADC_FSR : ui->CJ_FSR, constants.fsr);
    setNumber(adc ? ui->ADC_OCR : ui->CJ_OCR, constants.ocr);
    chosenGroups.remove(command);
    --fillingControls;
}
