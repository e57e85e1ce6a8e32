#include "app/mainwindow.h"

#include "config/writeverify.h"
#include "device/devicewords.h"
#include "device/replies.h"
#include "link/serialworker.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QPushButton>

#include <cmath>

// Reply processing: judge the result code, then put the reply's data into the
// controls. Replies are matched to nothing but their own type and command
// bytes; the device answers a write like a read of the same group.

namespace {

// A value that is not a number leaves the box as it was; any other value,
// infinities included, the box clamps to its range.
void setNumber(QDoubleSpinBox *box, double value)
{
    if (!std::isnan(value))
        box->setValue(value);
}

// The five reference boxes, then the five measured ones.
std::array<QDoubleSpinBox *, 10> correctionBoxes(const Ui::MainWindow *ui)
{
    return {ui->refVal,  ui->refVal_2,  ui->refVal_3,  ui->refVal_4,  ui->refVal_5,
            ui->measVal, ui->measVal_2, ui->measVal_3, ui->measVal_4, ui->measVal_5};
}

} // namespace

void MainWindow::commandProcessing(QByteArray data)
{
    acceptReply({data, false});
}

// An answer all the same: the line is free, and the request it answers has
// had its reply. But none of its bytes reach a control, a run or an export.
void MainWindow::corruptedReply(QByteArray data)
{
    acceptReply({data, true});
}

void MainWindow::acceptReply(const Reply &reply)
{
    noAnswerTimer.stop();
    // The line is free again: the whole answer is in.
    sendDueLiveValues();
    deferredReplies.append(reply);
    processDeferredReplies();
}

// A message box runs its own event loop. A reply delivered while one of ours
// is open (a reply's box, the test log's, a port error) waits until it has
// closed; the replies are then handled in the order they came.
void MainWindow::processDeferredReplies()
{
    if (processingReplies)
        return; // the loop below, further out, goes on with it
    processingReplies = true;
    while (!deferredReplies.isEmpty() && openBoxes == 0 && !worker->portErrorShowing())
        processReply(deferredReplies.takeFirst());
    processingReplies = false;
}

// A device error in a reply the user asked for opens its box. In the
// program's own replies (polling, a run, or one that answers nothing) it shows
// on the indicator and in the run's events, and opens its box only once a
// polling session or a run, so that the user can always reach "Стоп" and
// "Отключиться".
void MainWindow::processReply(const Reply &received)
{
    const std::optional<UserRequests::Request> asked =
        userRequests.answer(received.data, clock.elapsed());
    if (asked)
        journalOutcome(*asked, DeviceWords::replyResult(received.data, received.corrupted));
    // The sequence's one outcome box stands for the boxes of its steps.
    if (asked && asked->ofWriteVerify && writeVerify) {
        continueWriteVerify(received);
        return;
    }
    if (received.corrupted) {
        if (asked && !asked->action.isEmpty())
            showInformation(asked->action, QStringLiteral("Ответ прибора повреждён (не совпал "
                                                          "контрольный байт): выполнение не "
                                                          "подтверждено."));
        noteRunEvent(QStringLiteral("Ответ отброшен: не совпал контрольный байт (%1)")
                         .arg(QString::fromLatin1(received.data.toHex(' ').toUpper())));
        return;
    }
    if (received.data.isEmpty())
        return;
    const Device::ReplyHeader reply = Device::parseReply(received.data);
    const bool session = pollTimer.isActive() || testRunning;
    const bool showBox = asked || (session && !sessionErrorShown);
    if (reply.resultCode && reportResultCode(*reply.resultCode, showBox)) {
        if (!asked && showBox)
            sessionErrorShown = true;
        if (reply.length == Device::StatusOnlyLength)
            return;
    } else if (asked && !asked->action.isEmpty()) {
        showInformation(asked->action, QStringLiteral("Прибор выполнил команду."));
    }
    if (reply.type == Device::Type::Action) {
        if (reply.command == Device::ActionCommand::FactoryMode)
            showUnlockAnswer(reply.data);
        return;
    }
    if (!reply.resultCode || Device::isSuccess(*reply.resultCode)) {
        recordReply(reply);
        if (lineWait == LineWait::Verifying && reply.command == Device::Command::DeviceInfo)
            lineBack();
    }
    decodeReply(reply.command, reply.data);
}

// A reply with a good check byte and no device error: this device's, from now on.
void MainWindow::recordReply(const Device::ReplyHeader &reply)
{
    deviceRecord.take(reply.command, reply.data);
    if (reply.command == Device::Command::DeviceInfo)
        showDeviceIdentity();
}

// The user's confirmed actions and the steps of write-and-verify that had no
// answer in time say so, and so does the journal for its requests.
void MainWindow::expireUserRequests()
{
    for (const UserRequests::Request &request : userRequests.expire(clock.elapsed())) {
        journalOutcome(request, DeviceWords::noAnswer());
        if (request.ofWriteVerify && writeVerify) {
            writeVerify->fail(DeviceWords::noAnswer());
            finishWriteVerify();
        } else if (!request.action.isEmpty()) {
            showInformation(request.action, QStringLiteral("Прибор не ответил: выполнение не "
                                                           "подтверждено."));
        }
    }
    if (userRequests.isEmpty())
        userRequestTimer.stop();
}

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

// Replies that arrive while the box is open wait until it has closed.
int MainWindow::execHoldingReplies(QMessageBox &box)
{
    ++openBoxes;
    const int result = box.exec();
    --openBoxes;
    processDeferredReplies();
    return result;
}

bool MainWindow::reportResultCode(quint8 resultCode, bool showBox)
{
    const std::optional<Device::Message> message = Device::resultCodeMessage(resultCode);
    if (!message)
        return false;
    setStatusColour(QStringLiteral("orange"), QStringLiteral("RC"));
    noteRunEvent(QStringLiteral("Ошибка прибора: %1").arg(message->text));
    if (showBox)
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
        showCorrectionPoints(Device::decodeRefAndMeas(data));
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
    setNumber(fsr, constants.fsr);
    setNumber(ocr, constants.ocr);
}

void MainWindow::showLiveValues(const QByteArray &data)
{
    const QList<double> values = Device::decodeLiveValues(data);
    // During a test run the values go to the log and the Data tab stays as it is.
    if (testRunning) {
        logLiveValues(values);
        return;
    }
    liveValuesShownAt = QDateTime::currentDateTime();
    updateLiveValuesState();
    const std::array<QDoubleSpinBox *, 5> boxes = liveValueBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i)
        setNumber(boxes[i], values.at(int(i)));
}

std::array<QDoubleSpinBox *, 5> MainWindow::liveValueBoxes() const
{
    return {ui->preValue, ui->correctedValue, ui->tempADC, ui->tempTMP, ui->Iout};
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
    setNumber(ui->LowerRange, probe.lower);
    setNumber(ui->UpperRange, probe.upper);
    ui->dempBuffSize->setValue(probe.dampingBuffer);
    ui->CompensationCheckBox->setChecked(probe.compensation);
    if (probe.hysteresis)
        setNumber(ui->Hyst, *probe.hysteresis);
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

Device::CorrectionPoints MainWindow::shownCorrectionPoints() const
{
    Device::CorrectionPoints points;
    const std::array<QDoubleSpinBox *, 10> boxes = correctionBoxes(ui);
    for (size_t i = 0; i < 5; ++i) {
        points.reference[i] = boxes[i]->value();
        points.measured[i] = boxes[i + 5]->value();
    }
    points.enabled = ui->CorrectionCheckBox->isChecked();
    return points;
}

void MainWindow::showCorrectionPoints(const Device::CorrectionPoints &points)
{
    const std::array<QDoubleSpinBox *, 10> boxes = correctionBoxes(ui);
    for (size_t i = 0; i < 5; ++i) {
        setNumber(boxes[i], points.reference[i]);
        setNumber(boxes[i + 5], points.measured[i]);
    }
    ui->CorrectionCheckBox->setChecked(points.enabled);
}

void MainWindow::showUnlockAnswer(const QByteArray &data)
{
    if (const std::optional<Device::Message> message = Device::unlockAnswerMessage(data))
        showInformation(message->title, message->text);
}
