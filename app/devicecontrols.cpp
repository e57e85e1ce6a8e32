#include "app/mainwindow.h"

#include "device/requests.h"
#include "session/devicesession.h"
#include "ui_mainwindow.h"

// One handler per device control: each builds its request from the controls
// and hands it to the session once. The actions that change what the device
// keeps ask first, and tell their outcome.

void MainWindow::confirmAndSend(const QString &action, const QString &question,
                                const QByteArray &request)
{
    if (askYesNo(action, question))
        session->sendUserRequest(request, action);
}

void MainWindow::on_buttonReadProbeType_clicked()
{
    session->sendUserRequest(Device::readRequest(Device::Command::ProbeType));
}

// A control the user changes makes its group the user's choice, and the
// settings and correction points what write-and-verify writes; filling it from
// the device or a file does neither.
void MainWindow::watchUserEdits()
{
    const auto chosen = [this](quint8 command) {
        return [this, command] {
            if (fillingControls > 0)
                return;
            chosenGroups << command;
            if (command == Device::Command::ProbeType || command == Device::Command::RefAndMeas)
                userEdited();
        };
    };
    const auto settings = chosen(Device::Command::ProbeType);
    for (QDoubleSpinBox *box : {ui->LowerRange, ui->UpperRange, ui->Hyst})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this, settings);
    connect(ui->dempBuffSize, qOverload<int>(&QSpinBox::valueChanged), this, settings);
    for (QComboBox *list : {ui->comboGradType, ui->comboGradName})
        connect(list, qOverload<int>(&QComboBox::currentIndexChanged), this, settings);
    connect(ui->CompensationCheckBox, &QCheckBox::toggled, this, settings);
    const auto correction = chosen(Device::Command::RefAndMeas);
    for (QDoubleSpinBox *box : correctionBoxes())
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this, correction);
    connect(ui->CorrectionCheckBox, &QCheckBox::toggled, this, correction);
    for (QDoubleSpinBox *box : {ui->ADC_FSR, ui->ADC_OCR})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                chosen(Device::Command::ADC));
    for (QDoubleSpinBox *box : {ui->CJ_FSR, ui->CJ_OCR})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                chosen(Device::Command::CJ));
    const auto production = chosen(Device::Command::DeviceInfo);
    connect(ui->Number, qOverload<int>(&QSpinBox::valueChanged), this, production);
    connect(ui->CurrentDate, &QDateEdit::dateChanged, this, production);
}

// A group neither read from this device nor chosen by the user holds whatever
// the window happened to show: writing it over the device's asks first.
bool MainWindow::mayWriteShown(quint8 command)
{
    if (session->record().hasRead(command) || chosenGroups.contains(command))
        return true;
    return askYesNo(QStringLiteral("Запись"),
                    QStringLiteral("Значения не считаны с прибора. Записать то, что показано?"));
}

void MainWindow::on_buttonWriteProbeType_clicked()
{
    // Voltage cannot be written, and neither can "no kind" after a device
    // reported one this program does not know.
    if (!catalogue.encode(ui->comboGradType->currentIndex(), ui->comboGradName->currentIndex()))
        return;
    const Device::ProbeTypeSettings settings = shownProbeType();
    if (const std::optional<QString> refusal = Device::rangeRefusal(settings)) {
        showInformation(QStringLiteral("Запись настроек"), *refusal);
        return;
    }
    if (mayWriteShown(Device::Command::ProbeType))
        session->sendUserRequest(Device::writeProbeType(settings));
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
    confirmAndSend(QStringLiteral("Автокалибровка: первая точка"),
                   QStringLiteral("Прибор примет сигнал, поданный сейчас на его вход, за первую "
                                  "точку калибровки. Продолжить?"),
                   Device::autoCalibration(Device::CalibrationPoint::First));
}

void MainWindow::on_buttonSecondPoint_clicked()
{
    confirmAndSend(QStringLiteral("Автокалибровка: вторая точка"),
                   QStringLiteral("Прибор примет сигнал, поданный сейчас на его вход, за вторую "
                                  "точку калибровки. Продолжить?"),
                   Device::autoCalibration(Device::CalibrationPoint::Second));
}

void MainWindow::on_buttonWriteFixedCurrent_clicked()
{
    session->sendUserRequest(Device::fixedCurrent(ui->LoopCurrent->value()));
}

void MainWindow::on_buttonReadADC_clicked()
{
    session->sendUserRequest(Device::readRequest(Device::Command::ADC));
}

void MainWindow::on_buttonWriteADC_clicked()
{
    if (mayWriteShown(Device::Command::ADC))
        session->sendUserRequest(Device::writeADC({ui->ADC_FSR->value(), ui->ADC_OCR->value()}));
}

void MainWindow::on_buttonReadDeviceInfo_clicked()
{
    session->sendUserRequest(Device::readRequest(Device::Command::DeviceInfo));
}

void MainWindow::on_buttonWriteDeviceInfo_clicked()
{
    if (mayWriteShown(Device::Command::DeviceInfo))
        session->sendUserRequest(
            Device::writeDeviceInfo(ui->CurrentDate->date(), ui->Number->value()));
}

void MainWindow::on_buttonClearEEPROM_clicked()
{
    confirmAndSend(QStringLiteral("Сбросить настройки"),
                   QStringLiteral("Прибор сотрёт все сохранённые в нём настройки. Продолжить?"),
                   Device::eepromOperation(Device::EepromOperation::Clear));
}

void MainWindow::on_buttonSaveFactorySettings_clicked()
{
    confirmAndSend(QStringLiteral("Сохранить как заводские настройки"),
                   QStringLiteral("Текущие настройки прибора заменят его заводские настройки; "
                                  "прежние заводские будут потеряны. Продолжить?"),
                   Device::eepromOperation(Device::EepromOperation::SaveAsFactory));
}

void MainWindow::on_buttonFactoryResetSettings_clicked()
{
    confirmAndSend(QStringLiteral("Сбросить до заводских настроек"),
                   QStringLiteral("Настройки прибора будут заменены заводскими. Продолжить?"),
                   Device::eepromOperation(Device::EepromOperation::ResetToFactory));
}

void MainWindow::on_buttonFactoryMode_clicked()
{
    // The password is the device's business: it goes out as typed, even empty.
    session->sendUserRequest(Device::factoryMode(ui->passwordLine->text()));
}

void MainWindow::on_buttonReadRefAndMeas_clicked()
{
    session->sendUserRequest(Device::readRequest(Device::Command::RefAndMeas));
}

void MainWindow::on_buttonWriteRefAndMeas_clicked()
{
    if (mayWriteShown(Device::Command::RefAndMeas))
        session->sendUserRequest(Device::writeRefAndMeas(shownCorrectionPoints()));
}

void MainWindow::on_buttonReadCJ_clicked()
{
    session->sendUserRequest(Device::readRequest(Device::Command::CJ));
}

void MainWindow::on_buttonWriteCJ_clicked()
{
    if (mayWriteShown(Device::Command::CJ))
        session->sendUserRequest(Device::writeCJ({ui->CJ_FSR->value(), ui->CJ_OCR->value()}));
}

// The five reference boxes, then the five measured ones.
std::array<QDoubleSpinBox *, 10> MainWindow::correctionBoxes() const
{
    return {ui->refVal,  ui->refVal_2,  ui->refVal_3,  ui->refVal_4,  ui->refVal_5,
            ui->measVal, ui->measVal_2, ui->measVal_3, ui->measVal_4, ui->measVal_5};
}

Device::CorrectionPoints MainWindow::shownCorrectionPoints() const
{
    Device::CorrectionPoints points;
    const std::array<QDoubleSpinBox *, 10> boxes = correctionBoxes();
    for (size_t i = 0; i < 5; ++i) {
        points.reference[i] = boxes[i]->value();
        points.measured[i] = boxes[i + 5]->value();
    }
    points.enabled = ui->CorrectionCheckBox->isChecked();
    return points;
}
