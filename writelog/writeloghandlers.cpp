#include "app/mainwindow.h"

#include "device/devicewords.h"
#include "link/linesettings.h"
#include "ui_mainwindow.h"

#include <QDateTime>

// The write journal hears every write and action the user sends: the buttons
// and write-and-verify through sendUserRequest, the manual packet window
// through its signals. Each request's outcome follows where it is learnt: its
// reply (processReply), its time running out (expireUserRequests), or the
// connection's end.

void MainWindow::setUpWriteJournal()
{
    // A journal that could not be written is told again on the next connection.
    connect(this, &MainWindow::portOpen, this, [this] { writeJournal.resetFailure(); });
    connect(this, &MainWindow::portClose, this, [this] {
        writeJournal.outcomeOfAll(QDateTime::currentDateTime(), DeviceWords::connectionClosed());
        reportJournalFailure();
    });
}

DeviceWords MainWindow::deviceWords() const
{
    QStringList kindNames;
    for (int kind = 0; kind < ui->comboGradType->count(); ++kind)
        kindNames << ui->comboGradType->itemText(kind);
    return DeviceWords(kindNames, catalogue);
}

WriteJournal::Device MainWindow::journalDevice() const
{
    WriteJournal::Device device;
    // The port as the list names it, which is the one connected while a connection is on.
    device.port = LineSettings::portNameOf(ui->comboPort->currentText());
    if (deviceRecord.info) {
        device.serialNumber = deviceRecord.info->serialNumber;
        device.firmware = deviceRecord.info->firmware;
    }
    return device;
}

int MainWindow::journalRequest(const QByteArray &request)
{
    if (request.size() < 2 || quint8(request.at(0)) == Device::Type::Read)
        return 0;
    const quint8 type = quint8(request.at(0));
    const quint8 command = quint8(request.at(1));
    const DeviceWords words = deviceWords();
    // What the device last said it held of the group a write replaces.
    QString before;
    if (type == Device::Type::Write) {
        if (command == Device::Command::ProbeType && deviceRecord.probe)
            before = words.settings(*deviceRecord.probe);
        else if (command == Device::Command::RefAndMeas && deviceRecord.correction)
            before = DeviceWords::correction(*deviceRecord.correction);
        else if (command == Device::Command::ADC && deviceRecord.adc)
            before = DeviceWords::constants(*deviceRecord.adc);
        else if (command == Device::Command::CJ && deviceRecord.coldJunction)
            before = DeviceWords::constants(*deviceRecord.coldJunction);
        else if (command == Device::Command::DeviceInfo && deviceRecord.info)
            before = DeviceWords::production(*deviceRecord.info);
    }
    return writeJournal.sent(QDateTime::currentDateTime(), journalDevice(),
                             DeviceWords::commandName(type, command), words.request(request),
                             before);
}

void MainWindow::journalOutcome(const UserRequests::Request &request, const QString &result)
{
    if (request.journalNumber == 0)
        return;
    writeJournal.outcome(request.journalNumber, QDateTime::currentDateTime(), result);
    reportJournalFailure();
}

void MainWindow::reportJournalFailure()
{
    if (const std::optional<QString> failure = writeJournal.takeFailure())
        showInformation(QStringLiteral("Журнал записей"),
                        QStringLiteral("Не удалось записать в журнал записей\n%1\n"
                                       "Команды отправляются прибору, но в журнал могут не "
                                       "попасть.")
                            .arg(*failure));
}

// The manual packet window has sent these itself.
void MainWindow::noteHandSentRequest(const QByteArray &request)
{
    UserRequests::Request details;
    details.journalNumber = journalRequest(request);
    trackUserRequest(request, details);
    reportJournalFailure();
}

// Raw bytes are journaled whatever they hold. Only bytes typed as a frame
// (0xFF, type, command, ...) can be paired with a reply.
void MainWindow::noteRawBytesSent(const QByteArray &bytes)
{
    const QDateTime now = QDateTime::currentDateTime();
    const int number = writeJournal.sent(now, journalDevice(), DeviceWords::rawBytesName(),
                                         DeviceWords::rawBytes(bytes), QString());
    if (bytes.size() >= 3 && quint8(bytes.at(0)) == 0xFF) {
        UserRequests::Request details;
        details.journalNumber = number;
        trackUserRequest(bytes.mid(1, 2), details);
    } else {
        writeJournal.outcome(number, now, DeviceWords::notAFrame());
    }
    reportJournalFailure();
}
