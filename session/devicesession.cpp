#include "session/devicesession.h"

#include "config/writeverify.h"
#include "device/devicewords.h"
#include "device/poller.h"
#include "device/requests.h"
#include "link/linewait.h"
#include "link/serialline.h"
#include "link/serialworker.h"
#include "testlog/devicedescription.h"
#include "testlog/testrun.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTime>

DeviceSession::DeviceSession(const QString &owner, QObject *parent)
    : QObject(parent), serialLine(new SerialLine(owner, this)),
      poller(new Poller(serialLine, this)), testRun(new TestRun(this)),
      lineWait(new LineWait(this)), catalogue(SensorCatalogue::standard())
{
    setUpLine();
    connect(testRun, &TestRun::rowLogged, this, &DeviceSession::rowLogged);
    connect(testRun, &TestRun::ended, this, &DeviceSession::runEnded);
    connect(testRun, &TestRun::problem, this, &DeviceSession::message);
    connect(lineWait, &LineWait::attempt, this, &DeviceSession::tryReopen);
    connect(lineWait, &LineWait::gaveUp, this, [this] { endRun(RunEnd::LineLost); });
    // The user's confirmed actions that get no answer in time are told so.
    clock.start();
    userRequestTimer.setInterval(250);
    connect(&userRequestTimer, &QTimer::timeout, this, &DeviceSession::expireUserRequests);
    verifyTimer.setSingleShot(true);
    verifyTimer.setInterval(int(UserRequests::AnswerWithinMs));
    connect(&verifyTimer, &QTimer::timeout, this, &DeviceSession::lineBack);
}

DeviceSession::~DeviceSession()
{
    endRun(RunEnd::WindowClosed);
    // Nothing the line says on its way out reaches a session half gone.
    serialLine->disconnect(this);
    delete serialLine;
}

void DeviceSession::setUpLine()
{
    connect(serialLine, &SerialLine::replyReceived, this, &DeviceSession::takeReply);
    connect(serialLine, &SerialLine::corruptedReplyReceived, this,
            &DeviceSession::takeCorruptedReply);
    connect(serialLine, &SerialLine::styleChanged, this, &DeviceSession::styleChanged);
    connect(serialLine, &SerialLine::requestSent, this,
            [this] { emit indicator(QStringLiteral("yellow"), QStringLiteral("WAIT")); });
    connect(serialLine, &SerialLine::notAnswered, this, &DeviceSession::notAnswered);
    connect(serialLine, &SerialLine::lost, this, &DeviceSession::lineLost);
    connect(serialLine, &SerialLine::errorBoxesClosed, this,
            &DeviceSession::processDeferredReplies);
    connect(serialLine, &SerialLine::opened, this, &DeviceSession::lineOpened);
}

void DeviceSession::setKindNames(const QStringList &names)
{
    kindNames = names;
}

void DeviceSession::setLineWaitIntervals(int reopenEveryMs, int giveUpAfterMs)
{
    lineWait->setIntervals(reopenEveryMs, giveUpAfterMs);
}

// ---- The connection ----

bool DeviceSession::connectTo(const QString &port, QString *whyNot)
{
    if (holdsPort()) {
        if (whyNot)
            *whyNot = QStringLiteral("занят: %1").arg(serialLine->ownerName());
        return false;
    }
    if (!serialLine->open(port, whyNot))
        return false;
    // Whatever a view shows, nothing has been read from this device yet.
    deviceRecord = DeviceRecord();
    emit lineNotice(QString());
    emit identityChanged();
    emit connectionChanged();
    return true;
}

// The line has opened: a new connection, or a lost one back.
void DeviceSession::lineOpened()
{
    userRequests.clear();
    // A journal that could not be written is told again on the next connection.
    journal.resetFailure();
    emit opened();
}

void DeviceSession::disconnectLine()
{
    poller->stopAll();
    if (lineState == LineState::Waiting) {
        endRun(RunEnd::Disconnect);
        return;
    }
    endRun(RunEnd::Disconnect);
    releaseLine();
    emit connectionChanged();
}

bool DeviceSession::isOpen() const
{
    return serialLine->isOpen();
}

bool DeviceSession::holdsPort() const
{
    return serialLine->isOpen() || lineState != LineState::None;
}

QString DeviceSession::portName() const
{
    return serialLine->portName();
}

// Closes the port and waits for the worker; what belonged to the connection goes.
void DeviceSession::releaseLine(bool keepClaim)
{
    serialLine->close(keepClaim);
    // Replies held back by an open box came from the connection that just ended.
    deferredReplies.clear();
    poller->forget();
    userRequests.clear();
    userRequestTimer.stop();
    if (writeVerify) {
        writeVerify->fail(DeviceWords::connectionClosed());
        finishWriteVerify();
    }
    journal.outcomeOfAll(QDateTime::currentDateTime(), DeviceWords::connectionClosed());
    reportJournalFailure();
    emit closed();
    emit identityChanged();
}

// The device end of the line has gone: an adapter pulled, the far end of a
// pseudo-terminal closed. Such a port wakes the event loop with one error
// after another, fast enough to starve any box, so it is closed first. A test
// run then waits for the port to come back. Otherwise the indicator and the
// notice say what happened, the box the error calls for (if any) says why,
// and the connection ends as a disconnect ends it.
void DeviceSession::lineLost(const QString &message)
{
    if (!serialLine->isOpen())
        return;
    const QString port = serialLine->portName();
    if (testRun->isRunning()) {
        waitForLine(port);
        return;
    }
    poller->stopPolling();
    serialLine->closePort();
    endRun(RunEnd::LineLost);
    serialLine->stopNoAnswerTimer();
    emit indicator(QStringLiteral("red"), QStringLiteral("NO LINE"));
    emit lineNotice(QStringLiteral("Связь потеряна: порт %1.").arg(port));
    emit pollingChanged();
    serialLine->worker()->reportPortError(message);
    if (!serialLine->isActive())
        return; // ended meanwhile
    endRun(RunEnd::Disconnect);
    releaseLine();
    emit connectionChanged();
}

void DeviceSession::waitForLine(const QString &port)
{
    poller->stopAll();
    serialLine->stopNoAnswerTimer();
    verifyTimer.stop();
    if (deviceRecord.info)
        serialBeforeLoss = deviceRecord.info->serialNumber;
    releaseLine(true);
    lineState = LineState::Waiting;
    lineWait->begin(port);
    emit indicator(QStringLiteral("orange"), QStringLiteral("RECONNECT"));
    emit lineNotice(QStringLiteral("Связь потеряна: порт %1. Испытание продолжится, когда "
                                   "порт вернётся (ожидание до 10 минут).")
                        .arg(port));
    testRun->note(QStringLiteral("Связь потеряна: порт %1").arg(port));
    emit connectionChanged();
}

// The same port, by the same name: a port back under another name is another line.
void DeviceSession::tryReopen(const QString &port)
{
    if (!serialLine->open(port))
        return;
    lineWait->end();
    lineState = LineState::Verifying;
    emit connectionChanged();
    // Which device is on the line now? Without an answer the run goes on all the same.
    deviceRecord.info.reset();
    emit identityChanged();
    serialLine->send(Device::readRequest(Device::Command::DeviceInfo));
    verifyTimer.start();
}

// Called once the serial number has been read again, or the time for it has passed.
void DeviceSession::lineBack()
{
    verifyTimer.stop();
    if (lineState != LineState::Verifying)
        return;
    const QString port = serialLine->portName();
    const std::optional<qint32> serialNow =
        deviceRecord.info ? std::optional<qint32>(deviceRecord.info->serialNumber) : std::nullopt;
    if (serialBeforeLoss && serialNow && *serialBeforeLoss != *serialNow) {
        // Ending the run ends the wait, and with it the serial number kept for it.
        const qint32 serialBefore = *serialBeforeLoss;
        // Nothing read before the loss but the serial number just read is this device's.
        const std::optional<Device::DeviceInfoReply> info = deviceRecord.info;
        deviceRecord = DeviceRecord();
        deviceRecord.info = info;
        endRun(RunEnd::OtherDevice, QString::number(*serialNow));
        emit lineNotice(QString());
        emit runInterrupted(QStringLiteral("На линии другой прибор: № %1 вместо № %2.\n"
                                           "Испытание завершено.")
                                .arg(*serialNow)
                                .arg(serialBefore));
        return;
    }
    lineState = LineState::None;
    testRun->note(
        serialNow
            ? QStringLiteral("Связь восстановлена: порт %1, прибор № %2").arg(port).arg(*serialNow)
            : QStringLiteral("Связь восстановлена: порт %1, серийный номер не "
                             "считан")
                  .arg(port));
    emit lineNotice(QStringLiteral("Связь восстановлена в %1: испытание продолжается.")
                        .arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))));
    emit connectionChanged();
    poller->startRun();
}

// The run ended while it waited for its line: what is left of the connection goes.
void DeviceSession::abandonLineWait()
{
    const LineState was = lineState;
    lineState = LineState::None;
    lineWait->end();
    verifyTimer.stop();
    serialBeforeLoss.reset();
    if (was == LineState::Waiting) {
        serialLine->releaseClaim();
        emit indicator(QStringLiteral("red"), QStringLiteral("NO LINE"));
        emit lineNotice(QStringLiteral("Связь потеряна: порт %1. Испытание остановлено, файл %2.")
                            .arg(lineWait->port(), testRun->shownFileName()));
    }
    emit connectionChanged();
}

// ---- Polling and runs ----

void DeviceSession::startPolling()
{
    if (!serialLine->isOpen())
        return;
    poller->startPolling();
    sessionErrorShown = false;
    emit pollingChanged();
}

void DeviceSession::stopPolling()
{
    poller->stopPolling();
    emit pollingChanged();
}

bool DeviceSession::isPolling() const
{
    return poller->isPolling();
}

void DeviceSession::readLiveValues()
{
    poller->readNow();
}

bool DeviceSession::startRun(QString *failure)
{
    if (!serialLine->isOpen())
        return false;
    const QString directory = runDirectory.isEmpty() ? QDir::currentPath() : runDirectory;
    if (testRun->isRunning())
        endRun(RunEnd::Stop);
    if (!testRun->start(directory, QDateTime::currentDateTime(), failure))
        return false;
    sessionErrorShown = false;
    emit runStarted(); // before the first row can arrive
    testRun->note(QStringLiteral("Начало испытания, файл %1. %2")
                      .arg(QFileInfo(testRun->fileName()).fileName(), describeDevice()));
    poller->startRun();
    return true;
}

// Ends a run on every path: "Стоп", another tab, a disconnect, a lost line,
// closing the window. Waiting for a lost line only ever served the run.
void DeviceSession::endRun(RunEnd cause, const QString &detail)
{
    poller->stopRun();
    testRun->end(cause, detail);
    if (lineState != LineState::None)
        abandonLineWait();
}

bool DeviceSession::isRunning() const
{
    return testRun->isRunning();
}

// The device as this connection has read it; what was not read is said to be so.
QString DeviceSession::describeDevice() const
{
    DeviceDescription device;
    if (const auto &info = deviceRecord.info)
        device.identity = DeviceDescription::Identity{
            info->serialNumber, info->firmware,
            QLocale::c().toString(info->date(), QStringLiteral("dd.MM.yyyy"))};
    if (const auto &probe = deviceRecord.probe) {
        DeviceDescription::Settings &settings = device.settings.emplace();
        settings.element = kindNames.value(probe->kind());
        const int position = catalogue.decodePosition(probe->kindByte, probe->code);
        if (position >= 0)
            settings.type = SensorCatalogue::typeNames(probe->kind()).value(position);
        settings.lower = probe->lower;
        settings.upper = probe->upper;
        settings.dampingBuffer = probe->dampingBuffer;
        settings.compensation = probe->compensation;
        settings.hysteresis = probe->hysteresis;
    }
    device.correction = deviceRecord.correction;
    return device.text();
}

// ---- Requests ----

// A write or action is on record in the journal before it goes out; a journal
// that cannot be written says so first, and the request still goes.
void DeviceSession::sendUserRequest(const QByteArray &request, const QString &action)
{
    if (serialLine->isOpen()) {
        UserRequests::Request details;
        details.action = action;
        details.ofWriteVerify = bool(writeVerify);
        details.journalNumber = journalRequest(request);
        reportJournalFailure();
        trackUserRequest(request, details);
    }
    serialLine->send(request);
}

// The user's request waits for its reply, or for its time to run out.
void DeviceSession::trackUserRequest(const QByteArray &request,
                                     const UserRequests::Request &details)
{
    userRequests.sent(request, clock.elapsed(), details);
    if (!userRequestTimer.isActive())
        userRequestTimer.start();
}

void DeviceSession::noteHandSentRequest(const QByteArray &request)
{
    UserRequests::Request details;
    details.journalNumber = journalRequest(request);
    trackUserRequest(request, details);
    reportJournalFailure();
}

// Raw bytes are journaled whatever they hold. Only bytes typed as a frame
// (0xFF, type, command, ...) can be paired with a reply.
void DeviceSession::noteRawBytesSent(const QByteArray &bytes)
{
    const QDateTime now = QDateTime::currentDateTime();
    const int number = journal.sent(now, journalDevice(), DeviceWords::rawBytesName(),
                                    DeviceWords::rawBytes(bytes), QString());
    if (bytes.size() >= 3 && quint8(bytes.at(0)) == 0xFF) {
        UserRequests::Request details;
        details.journalNumber = number;
        trackUserRequest(bytes.mid(1, 2), details);
    } else {
        journal.outcome(number, now, DeviceWords::notAFrame());
    }
    reportJournalFailure();
}

// The user's confirmed actions and the steps of write-and-verify that had no
// answer in time say so, and so does the journal for its requests.
void DeviceSession::expireUserRequests()
{
    for (const UserRequests::Request &request : userRequests.expire(clock.elapsed())) {
        journalOutcome(request, DeviceWords::noAnswer());
        if (request.ofWriteVerify && writeVerify) {
            writeVerify->fail(DeviceWords::noAnswer());
            finishWriteVerify();
        } else if (!request.action.isEmpty()) {
            emit message(request.action,
                         QStringLiteral("Прибор не ответил: выполнение не подтверждено."));
        }
    }
    if (userRequests.isEmpty())
        userRequestTimer.stop();
}

// ---- Replies ----

void DeviceSession::takeReply(const QByteArray &reply)
{
    acceptReply({reply, false});
}

// An answer all the same: the line is free, and the request it answers has
// had its reply. But none of its bytes reach a view, a run or a record.
void DeviceSession::takeCorruptedReply(const QByteArray &reply)
{
    acceptReply({reply, true});
}

void DeviceSession::acceptReply(const Reply &reply)
{
    serialLine->stopNoAnswerTimer();
    // The line is free again: the whole answer is in.
    poller->lineFree();
    deferredReplies.append(reply);
    processDeferredReplies();
}

void DeviceSession::holdReplies()
{
    ++holds;
}

void DeviceSession::releaseReplies()
{
    --holds;
    processDeferredReplies();
}

void DeviceSession::processDeferredReplies()
{
    if (processingReplies)
        return; // the loop below, further out, goes on with it
    processingReplies = true;
    while (!deferredReplies.isEmpty() && holds == 0 && !serialLine->worker()->portErrorShowing())
        processReply(deferredReplies.takeFirst());
    processingReplies = false;
}

// A device error in a reply the user asked for is told in a box. In the
// program's own replies (polling, a run, or one that answers nothing) it shows
// on the indicator and in the run's events, and in a box only once a polling
// session or a run, so that the user can always reach "Стоп" and "Отключиться".
void DeviceSession::processReply(const Reply &received)
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
            emit message(asked->action, QStringLiteral("Ответ прибора повреждён (не совпал "
                                                       "контрольный байт): выполнение не "
                                                       "подтверждено."));
        testRun->note(QStringLiteral("Ответ отброшен: не совпал контрольный байт (%1)")
                          .arg(QString::fromLatin1(received.data.toHex(' ').toUpper())));
        return;
    }
    if (received.data.isEmpty())
        return;
    const Device::ReplyHeader reply = Device::parseReply(received.data);
    const bool ownSession = poller->isPolling() || testRun->isRunning();
    const bool showBox = asked || (ownSession && !sessionErrorShown);
    if (reply.resultCode && reportResultCode(*reply.resultCode, showBox)) {
        if (!asked && showBox)
            sessionErrorShown = true;
        if (reply.length == Device::StatusOnlyLength)
            return;
    } else if (asked && !asked->action.isEmpty()) {
        emit message(asked->action, QStringLiteral("Прибор выполнил команду."));
    }
    if (reply.type == Device::Type::Action) {
        if (reply.command == Device::ActionCommand::FactoryMode)
            if (const std::optional<Device::Message> answer =
                    Device::unlockAnswerMessage(reply.data))
                emit message(answer->title, answer->text);
        return;
    }
    if (!reply.resultCode || Device::isSuccess(*reply.resultCode)) {
        recordReply(reply);
        if (lineState == LineState::Verifying && reply.command == Device::Command::DeviceInfo)
            lineBack();
    }
    decodeReply(reply.command, reply.data);
}

// True when it was an error; its box only where `showBox` says.
bool DeviceSession::reportResultCode(quint8 resultCode, bool showBox)
{
    const std::optional<Device::Message> error = Device::resultCodeMessage(resultCode);
    if (!error)
        return false;
    emit indicator(QStringLiteral("orange"), QStringLiteral("RC"));
    testRun->note(QStringLiteral("Ошибка прибора: %1").arg(error->text));
    if (showBox)
        emit message(error->title, error->text);
    return true;
}

// A reply with a good check byte and no device error: this device's, from now on.
void DeviceSession::recordReply(const Device::ReplyHeader &reply)
{
    deviceRecord.take(reply.command, reply.data);
    if (reply.command == Device::Command::DeviceInfo)
        emit identityChanged();
}

void DeviceSession::decodeReply(quint8 command, const QByteArray &data)
{
    switch (command) {
    case Device::Command::LiveValues:
        // During a test run the values go to the run.
        if (testRun->isRunning())
            testRun->logRow(QDateTime::currentDateTime(), Device::decodeLiveValues(data));
        else
            emit liveValuesRead(Device::decodeLiveValues(data));
        break;
    case Device::Command::ProbeType:
        emit settingsRead(Device::decodeProbeType(data));
        break;
    case Device::Command::ADC:
    case Device::Command::CJ:
        emit constantsRead(command, Device::decodeConverterConstants(data));
        break;
    case Device::Command::DeviceInfo:
        emit deviceInfoRead(Device::decodeDeviceInfo(data));
        break;
    case Device::Command::RefAndMeas:
        emit correctionRead(Device::decodeRefAndMeas(data));
        break;
    default:
        break; // commands this program does not know
    }
}

void DeviceSession::notAnswered()
{
    emit indicator(QStringLiteral("red"), QStringLiteral("NOT ANSWER"));
}

// ---- Write and verify ----

void DeviceSession::setReference(const std::optional<WriteReference> &chosen)
{
    writeReference = chosen;
    emit referenceChanged();
}

bool DeviceSession::writeAndVerify(QString *refusal)
{
    if (!serialLine->isOpen() || testRun->isRunning() || writeVerify)
        return false;
    if (!writeReference) {
        *refusal = QStringLiteral("Ничего не записано: эталон не задан. Загрузите файл "
                                  "конфигурации, задайте значения в окне или сделайте "
                                  "показанное эталоном («Инструменты»).");
        return false;
    }
    if (!writeReference->writable) {
        *refusal = QStringLiteral("Ничего не записано: выбранный чувствительный элемент не "
                                  "задаётся.");
        return false;
    }
    pollAfterWriteVerify = poller->isPolling();
    if (pollAfterWriteVerify)
        stopPolling();
    writeVerify = std::make_unique<WriteVerify>(writeReference->settings,
                                                writeReference->correction, deviceWords());
    emit writeVerifyStarted();
    sendUserRequest(writeVerify->request());
    return true;
}

// A step's reply: the record takes it as a button's reply and a view may show
// it; a device error shows on the indicator, and the outcome tells it.
void DeviceSession::continueWriteVerify(const Reply &received)
{
    if (received.corrupted) {
        writeVerify->fail(DeviceWords::replyResult(received.data, true));
    } else {
        const Device::ReplyHeader reply = Device::parseReply(received.data);
        const bool error = reply.resultCode && reportResultCode(*reply.resultCode, false);
        if (!error) {
            recordReply(reply);
            decodeReply(reply.command, reply.data);
        }
        writeVerify->take(received.data);
    }
    if (writeVerify->finished())
        finishWriteVerify();
    else
        sendUserRequest(writeVerify->request());
}

void DeviceSession::finishWriteVerify()
{
    const QString outcome = writeVerify->outcome();
    const bool verified = writeVerify->verified();
    writeVerify.reset();
    const bool resume = pollAfterWriteVerify && serialLine->isOpen();
    pollAfterWriteVerify = false;
    emit writeVerifyFinished(outcome, verified, resume);
}

// ---- The journal ----

DeviceWords DeviceSession::deviceWords() const
{
    return DeviceWords(kindNames, catalogue);
}

WriteJournal::Device DeviceSession::journalDevice() const
{
    WriteJournal::Device device;
    device.port = serialLine->portName();
    if (deviceRecord.info) {
        device.serialNumber = deviceRecord.info->serialNumber;
        device.firmware = deviceRecord.info->firmware;
    }
    return device;
}

// Journals a write or action going out; the number its outcome needs, 0 for a read.
int DeviceSession::journalRequest(const QByteArray &request)
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
    return journal.sent(QDateTime::currentDateTime(), journalDevice(),
                        DeviceWords::commandName(type, command), words.request(request), before);
}

void DeviceSession::journalOutcome(const UserRequests::Request &request, const QString &result)
{
    if (request.journalNumber == 0)
        return;
    journal.outcome(request.journalNumber, QDateTime::currentDateTime(), result);
    reportJournalFailure();
}

void DeviceSession::reportJournalFailure()
{
    if (const std::optional<QString> failure = journal.takeFailure())
        emit message(QStringLiteral("Журнал записей"),
                     QStringLiteral("Не удалось записать в журнал записей\n%1\n"
                                    "Команды отправляются прибору, но в журнал могут не "
                                    "попасть.")
                         .arg(*failure));
}
