#include "app/mainwindow.h"

#include "device/replies.h"
#include "link/threadhandoff.h"
#include "ui_mainwindow.h"

#include <QMessageBox>

// Reply processing: judge the result code, then put the reply's data into the
// controls. Replies are matched to nothing but their own type and command
// bytes; the device answers a write like a read of the same group.

void MainWindow::commandProcessing(QByteArray data)
{
    ThreadHandOff::receive();
    noAnswerTimer.stop();
    // A message box runs its own event loop; a reply delivered meanwhile is
    // handled after the box closes, in the order the replies came.
    if (replyBoxOpen) {
        deferredReplies.append(data);
        return;
    }
    processReply(data);
    while (!deferredReplies.isEmpty())
        processReply(deferredReplies.takeFirst());
}

void MainWindow::processReply(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    const Device::ReplyHeader reply = Device::parseReply(data);
    if (reply.resultCode && reportResultCode(*reply.resultCode) &&
        reply.length == Device::StatusOnlyLength)
        return;
    if (reply.type == Device::Type::Action) {
        if (reply.command == Device::ActionCommand::FactoryMode)
            showUnlockAnswer(reply.data);
        return;
    }
    decodeReply(reply.command, reply.data);
}

void MainWindow::showInformation(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, this);
    replyBoxOpen = true;
    box.exec();
    replyBoxOpen = false;
}

bool MainWindow::reportResultCode(quint8 resultCode)
{
    const std::optional<Device::Message> message = Device::resultCodeMessage(resultCode);
    if (!message)
        return false;
    setStatusColour(QStringLiteral("orange"), QStringLiteral("RC"));
    showInformation(message->title, message->text);
    return true;
}

void MainWindow::decodeReply(quint8 command, const QByteArray &data)
{
    switch (command) {
    case Device::Command::LiveValues:
        showLiveValues(data);
        break;
    case Device::Command::ProbeType:
        showProbeType(data);
        break;
    case Device::Command::ADC:
        showConstants(data, ui->ADC_FSR, ui->ADC_OCR);
        break;
    case Device::Command::DeviceInfo:
        showDeviceInfo(data);
        break;
    case Device::Command::RefAndMeas:
        showRefAndMeas(data);
        break;
    case Device::Command::CJ:
        showConstants(data, ui->CJ_FSR, ui->CJ_OCR);
        break;
    default:
        break; // commands this program does not know
    }
}

void MainWindow::showConstants(const QByteArray &data, QDoubleSpinBox *fsr, QDoubleSpinBox *ocr)
{
    const Device::ConverterConstants constants = Device::decodeConverterConstants(data);
    fsr->setValue(constants.fsr);
    ocr->setValue(constants.ocr);
}

void MainWindow::showLiveValues(const QByteArray &data)
{
    const QList<double> values = Device::decodeLiveValues(data);
    // During a test run the values go to the log and the Data tab stays as it is.
    if (testRunning) {
        logLiveValues(values);
        return;
    }
    ui->preValue->setValue(values.at(0));
    ui->correctedValue->setValue(values.at(1));
    ui->tempADC->setValue(values.at(2));
    ui->tempTMP->setValue(values.at(3));
    ui->Iout->setValue(values.at(4));
}

void MainWindow::showProbeType(const QByteArray &data)
{
    const Device::ProbeTypeReply probe = Device::decodeProbeType(data);
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
    ui->LowerRange->setValue(probe.lower);
    ui->UpperRange->setValue(probe.upper);
    ui->dempBuffSize->setValue(probe.dampingBuffer);
    ui->CompensationCheckBox->setChecked(probe.compensation);
    if (probe.hysteresis)
        ui->Hyst->setValue(*probe.hysteresis);
}

void MainWindow::showDeviceInfo(const QByteArray &data)
{
    const Device::DeviceInfoReply info = Device::decodeDeviceInfo(data);
    const QDate date = info.date();
    if (date.isValid())
        ui->CurrentDate->setDate(date);
    ui->Number->setValue(info.serialNumber);
    ui->firmwareVersion->setText(info.firmware);
}

void MainWindow::showRefAndMeas(const QByteArray &data)
{
    const Device::CorrectionPoints points = Device::decodeRefAndMeas(data);
    const std::array<QDoubleSpinBox *, 10> boxes = correctionBoxes();
    for (size_t i = 0; i < 5; ++i) {
        boxes[i]->setValue(points.reference[i]);
        boxes[i + 5]->setValue(points.measured[i]);
    }
    ui->CorrectionCheckBox->setChecked(points.enabled);
}

void MainWindow::showUnlockAnswer(const QByteArray &data)
{
    if (const std::optional<Device::Message> message = Device::unlockAnswerMessage(data))
        showInformation(message->title, message->text);
}
