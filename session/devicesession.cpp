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

#include <algorithm>
#include <utility>

namespace {

// Bytes as a run's events show them: enough to tell what came, not a flood.
QString shownBytes(const QByteArray &bytes)
{
    constexpr int MaxShown = 32;
    QString text = QString::fromLatin1(bytes.left(MaxShown).toHex(' ').toUpper());
    if (bytes.size() > MaxShown)
        text += QStringLiteral(" …");
    return text;
}

} // namespace

DeviceSession::DeviceSession(const QString &owner, QObject *parent)
    : QObject(parent), serialLine(new SerialLine(owner, this)),
      poller(new Poller(serialLine, this)), testRun(new TestRun(this)),
      lineWait(new LineWait(this)), catalogue(SensorCatalogue::standard())
{
    setUpLine();
    connect(testRun, &TestRun::rowLogged, this, &DeviceSession::rowLogged);
    connect(testRun, &TestRun::ended, this, &DeviceSession::runEnded);
    connect(testRun, &TestRun::problem, this, &DeviceSession::message);
    connect(testRun, &TestRun::rowsFailing, this, &DeviceSession::runFileFailing,
            Qt::QueuedConnection);
    connect(lineWait, &LineWait::attempt, this, &DeviceSession::tryReopen);
    connect(lineWait, &LineWait::gaveUp, this, [this] { endRun(RunEnd::LineLost); });
    connect(poller, &Poller::answerMissed, this, &DeviceSession::answerMissed);
    // The user's confirmed actions that get no answer in time are told so.
    clock.start();
    userRequestTimer.setInterval(250);
    connect(&userRequestTimer, &QTimer::timeout, this, &DeviceSession::expireUserRequests);
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
    connect(serialLine, &SerialLine::replyRejected, this, &DeviceSession::replyRejected);
    connect(serialLine, &SerialLine::styleChanged, this, &DeviceSession::lineStyle);
    connect(serialLine, &SerialLine::requestSent, this, &DeviceSession::requestSent);
    connect(serialLine, &SerialLine::notAnswered, this, &DeviceSession::notAnswered);
    connect(serialLine, &SerialLine::lost, this, &DeviceSession::lineLost);
    connect(serialLine, &SerialLine::errorBoxesClosed, this,
            &DeviceSession::processDeferredReplies);
    connect(serialLine, &SerialLine::opened, this, &DeviceSession::lineOpened);
    connect(serialLine->worker(), &SerialWorker::portErrorNotice, this,
            [this](const QString &text) { emit message(QStringLiteral("Ошибка порта"), text); });
}

void DeviceSession::setKindNames(const QStringList &names)
{
    kindNames = names;
}

void DeviceSession::setUnattended(bool on)
{
    unattended = on;
    serialLine->worker()->setErrorBoxes(!on);
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
    valuesLate = true;
    if (lineDownShown)
        emit indicator(QStringLiteral("white"), QStringLiteral("NONE"));
    lineDownShown = false;
    emit lineNotice(QString());
    emit identityChanged();
    emit connectionChanged();
    return true;
}

// The line has opened: a new connection, or a lost one back.
void DeviceSession::lineOpened()
{
    silent = false;
    rejectedNoted = false;
    styleAfterSilence.clear();
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
        emit lineNotice(QString());
        return;
    }
    endRun(RunEnd::Disconnect);
    releaseLine();
    emit lineNotice(QString());
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
    // Replies held back by an open box came from the connection that just ended;
    // a run that waits for its line keeps their rows, but no state of the link.
    if (keepClaim)
        heldBack.erase(std::remove_if(heldBack.begin(), heldBack.end(),
                                      [](const Held &held) { return held.indicator; }),
                       heldBack.end());
    else
        heldBack.clear();
    poller->forget();
    userRequests.clear();
    userRequestTimer.stop();
    if (!keepClaim) {
        lastCorrection.reset();
        lastLoopTest.reset();
    }
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
    lineDownShown = true;
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
    silent = false;
    releaseLine(true);
    lineState = LineState::Waiting;
    lineWait->begin(port);
    lineDownShown = true;
    emit indicator(QStringLiteral("orange"), QStringLiteral("RECONNECT"));
    emit lineNotice(QStringLiteral("Связь потеряна: порт %1. Испытание продолжится, когда "
                                   "порт вернётся (ожидание до 10 минут).")
                        .arg(port));
    testRun->note(lineLostText(port));
    emit connectionChanged();
}

// The same port, by the same name: a port back under another name is another
// line. It is the same connection: what was read stays read. The run takes
// no row until the device on the line has said its serial number.
void DeviceSession::tryReopen(const QString &port)
{
    if (!serialLine->open(port))
        return;
    lineWait->end();
    lineState = LineState::None;
    beginIdentityCheck(IdentityCheck::AfterLoss);
    emit connectionChanged();
    poller->startRun();
}

// The serial number read again is the run's: the run takes its rows again.
void DeviceSession::lineBack(const Reply &reply)
{
    testRun->note(lineRegainedText(serialLine->portName(), *runSerial), reply.receivedAt);
    emit lineNotice(QStringLiteral("Связь восстановлена в %1: испытание продолжается.")
                        .arg(reply.receivedAt.time().toString(QStringLiteral("hh:mm:ss"))));
    emit connectionChanged();
}

void DeviceSession::otherDeviceOnLine(const Reply &reply, qint32 serialNow)
{
    const qint32 serialBefore = *runSerial;
    // Nothing read before is this device's; the serial number just read is.
    deviceRecord = DeviceRecord();
    deviceRecord.take(Device::Command::DeviceInfo, Device::parseReply(reply.data).data);
    emit identityChanged();
    endRun(RunEnd::OtherDevice, QString::number(serialNow));
    lineDownShown = false;
    emit indicator(QStringLiteral("green"), QStringLiteral("SUCCESS"));
    emit runInterrupted(QStringLiteral("На линии другой прибор: № %1 вместо № %2.\n"
                                       "Испытание завершено.")
                            .arg(serialNow)
                            .arg(serialBefore));
}

// The run ended while it waited for its line: what is left of the connection goes.
void DeviceSession::abandonLineWait()
{
    const LineState was = lineState;
    lineState = LineState::None;
    lineWait->end();
    if (was == LineState::Waiting) {
        serialLine->releaseClaim();
        lineDownShown = true;
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

void DeviceSession::readDevice()
{
    poller->readOnce(Device::readRequest(Device::Command::DeviceInfo));
    poller->readOnce(Device::readRequest(Device::Command::ProbeType));
}

bool DeviceSession::startRun(QString *failure)
{
    if (!serialLine->isOpen())
        return false;
    if (inProcedure) {
        *failure = QStringLiteral("Идёт калибровка: испытание не начато.");
        return false;
    }
    const QString directory = runDirectory.isEmpty() ? QDir::currentPath() : runDirectory;
    if (testRun->isRunning())
        endRun(RunEnd::Stop);
    QString prefix;
    if (unattended)
        prefix = deviceRecord.info ? QString::number(deviceRecord.info->serialNumber)
                                   : QStringLiteral("unknown");
    if (!testRun->start(directory, QDateTime::currentDateTime(), failure, prefix))
        return false;
    sessionErrorShown = false;
    runSerial =
        deviceRecord.info ? std::optional<qint32>(deviceRecord.info->serialNumber) : std::nullopt;
    runUnidentified = false;
    runUnsettled = !deviceRecord.probe;
    identifyAfterReply = !runSerial;
    // The run reads the live values itself: a poll's answer would be a row too many.
    if (poller->isPolling())
        stopPolling();
    emit runStarted(); // before the first row can arrive
    emit runDeviceChanged();
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
    const bool wasRunning = testRun->isRunning();
    if (!heldRows.isEmpty())
        testRun->note(QStringLiteral("Не записано строк: %1 (прибор на линии не опознан)")
                          .arg(heldRows.size()));
    heldRows.clear();
    testRun->end(cause, detail);
    identityCheck = IdentityCheck::None;
    identifyAfterReply = false;
    identifyAsked = false;
    poller->setRequest(Device::readRequest(Device::Command::LiveValues));
    // A notice of the run's line is of a run no more.
    if (wasRunning)
        emit lineNotice(QString());
    if (lineState != LineState::None)
        abandonLineWait();
}

// Unattended, a run whose rows stop reaching the file ends: nobody is there
// to free the disk, and a run that seems to go on would record nothing.
void DeviceSession::runFileFailing()
{
    if (!unattended || !testRun->isRunning())
        return;
    endRun(RunEnd::WriteFailed);
    emit runInterrupted(QStringLiteral("Строки не записываются в файл %1.\nИспытание завершено.")
                            .arg(testRun->shownFileName()));
}

bool DeviceSession::isRunning() const
{
    return testRun->isRunning();
}

// The device as this connection has read it; what was not read is said to be so.
QString DeviceSession::describeDevice() const
{
    return description().text();
}

DeviceDescription DeviceSession::description() const
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
    return device;
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
        details.ofProcedure = sendingForProcedure;
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
        } else if (request.ofProcedure) {
            emit procedureUnanswered();
        } else if (!request.action.isEmpty()) {
            emit message(request.action,
                         QStringLiteral("Прибор не ответил: выполнение не подтверждено."));
        }
    }
    if (userRequests.isEmpty())
        userRequestTimer.stop();
}

// ---- Replies ----

void DeviceSession::takeReply(const QByteArray &reply, const QDateTime &receivedAt)
{
    acceptReply({reply, receivedAt.isValid() ? receivedAt : QDateTime::currentDateTime()});
}

// An answer all the same: the line is free, and the request it answers has
// had its reply. But none of its bytes reach a view, a run or a record.
void DeviceSession::takeCorruptedReply(const QByteArray &reply, const QDateTime &receivedAt)
{
    Reply corrupted{reply, receivedAt.isValid() ? receivedAt : QDateTime::currentDateTime()};
    corrupted.corrupted = true;
    acceptReply(corrupted);
}

// What a reply says of the line is judged as it arrives, however long a box
// holds back what it says to the user and the run.
void DeviceSession::acceptReply(Reply reply)
{
    if (reply.corrupted) {
        reply.noteRejection = !rejectedNoted;
        rejectedNoted = true;
    } else {
        serialLine->stopNoAnswerTimer();
    }
    judgeIdentity(reply);
    if (silent && !reply.corrupted) {
        silent = false;
        reply.endsSilence = true;
        if (identityCheck == IdentityCheck::None && !styleAfterSilence.isEmpty()) {
            const QStringList style = styleAfterSilence;
            showLinkState([this, style] { emit styleChanged(style); });
        }
    }
    styleAfterSilence.clear();
    // A run that does not know its device asks for it once the line has answered.
    if (identifyAfterReply && testRun->isRunning()) {
        identifyAfterReply = false;
        identifyAsked = true;
        poller->readOnce(Device::readRequest(Device::Command::DeviceInfo));
    }
    // The line is free again: the whole answer is in.
    poller->lineFree();
    heldBack.append({reply, {}, false});
    processDeferredReplies();
}

// A DeviceInfo answer during a run says whose rows come from now on.
void DeviceSession::judgeIdentity(Reply &reply)
{
    reply.fromRunDevice = identityCheck == IdentityCheck::None;
    const bool asked = identifyAsked;
    identifyAsked = false;
    if (!testRun->isRunning())
        return;
    const std::optional<qint32> serial =
        reply.corrupted ? std::nullopt : DeviceRecord::serialNumberIn(reply.data);
    if (!serial) {
        if (asked)
            reply.identity = Identity::NotGiven;
        return;
    }
    reply.serial = *serial;
    if (runSerial && *runSerial != *serial) {
        reply.identity = Identity::Other;
        // Nothing more of this run is asked, and nothing more of it is the run's.
        identityCheck = IdentityCheck::OtherDevice;
        poller->stopRun();
        return;
    }
    reply.identity = Identity::Same;
    reply.identifies = !runSerial;
    identifyAfterReply = false;
    reply.endsCheck = identityCheck;
    runSerial = serial;
    if (identityCheck != IdentityCheck::None) {
        identityCheck = IdentityCheck::None;
        poller->setRequest(Device::readRequest(Device::Command::LiveValues));
    }
}

void DeviceSession::beginIdentityCheck(IdentityCheck check)
{
    identityCheck = check;
    identifyAfterReply = false;
    identifyAsked = false;
    poller->setRequest(Device::readRequest(Device::Command::DeviceInfo));
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
    while (!heldBack.isEmpty() && holds == 0 && !serialLine->worker()->portErrorShowing()) {
        const Held next = heldBack.takeFirst();
        if (next.reply)
            processReply(*next.reply);
        else
            next.action();
    }
    processingReplies = false;
}

// What the line tells of itself goes in turn with the replies before it: while
// a box holds them back, the indicator stays on the reply the box is about.
void DeviceSession::inTurn(const std::function<void()> &action, bool indicator)
{
    if (heldBack.isEmpty() && holds == 0 && !serialLine->worker()->portErrorShowing()) {
        action();
        return;
    }
    // Only the last of the indicator's states in a row is ever seen.
    if (indicator && !heldBack.isEmpty() && heldBack.last().indicator)
        heldBack.last().action = action;
    else
        heldBack.append({std::nullopt, action, indicator});
}

void DeviceSession::showLinkState(const std::function<void()> &show)
{
    inTurn(show, true);
}

// While the line is silent, or a run waits to know the device on it, the
// indicator keeps saying so: the worker's passing states would hide it.
void DeviceSession::lineStyle(const QStringList &style)
{
    if (silent || identityCheck != IdentityCheck::None) {
        styleAfterSilence = style;
        return;
    }
    showLinkState([this, style] { emit styleChanged(style); });
}

// A silent line stays told so while the program asks on its own; the user's
// own request shows that it went out.
void DeviceSession::requestSent(bool routine)
{
    rejectedNoted = false;
    if ((silent && routine) || identityCheck != IdentityCheck::None)
        return;
    showLinkState([this] { emit indicator(QStringLiteral("yellow"), QStringLiteral("WAIT")); });
}

// Bytes that made no reply: a run's events tell the first of each request, and
// so do replies whose check byte is wrong.
void DeviceSession::replyRejected(const QByteArray &bytes, const QDateTime &receivedAt)
{
    if (!testRun->isRunning() || rejectedNoted)
        return;
    rejectedNoted = true;
    const QString text =
        QStringLiteral("Ответ отброшен: недопустимый тип кадра (%1)").arg(shownBytes(bytes));
    inTurn([this, text, receivedAt] { testRun->note(text, receivedAt); });
}

// A device error in a reply the user asked for is told in a box. In the
// program's own replies (polling, a run, or one that answers nothing) it shows
// on the indicator and in the run's events, and in a box only once a polling
// session or a run, so that the user can always reach "Стоп" and "Отключиться".
void DeviceSession::processReply(const Reply &received)
{
    if (testRun->isRunning()) {
        if (received.endsSilence)
            testRun->note(QStringLiteral("Ответы возобновились"), received.receivedAt);
        if (received.identity == Identity::Other) {
            otherDeviceOnLine(received, received.serial);
            return;
        }
        if (received.identity == Identity::NotGiven)
            setRunUnidentified();
        if (received.identity == Identity::Same)
            runDeviceKnown(received);
    }
    const std::optional<UserRequests::Request> asked =
        userRequests.answer(received.data, clock.elapsed());
    if (asked)
        journalOutcome(*asked, DeviceWords::replyResult(received.data, received.corrupted));
    // The sequence's one outcome box stands for the boxes of its steps.
    if (asked && asked->ofWriteVerify && writeVerify) {
        continueWriteVerify(received);
        return;
    }
    if (asked && asked->ofProcedure) {
        continueProcedure(received);
        return;
    }
    if (received.corrupted) {
        if (asked && !asked->action.isEmpty())
            emit message(asked->action, QStringLiteral("Ответ прибора повреждён (не совпал "
                                                       "контрольный байт): выполнение не "
                                                       "подтверждено."));
        if (received.noteRejection)
            testRun->note(QStringLiteral("Ответ отброшен: не совпал контрольный байт (%1)")
                              .arg(shownBytes(received.data)),
                          received.receivedAt);
        return;
    }
    if (received.data.isEmpty())
        return;
    const Device::ReplyHeader reply = Device::parseReply(received.data);
    const bool ownSession = poller->isPolling() || testRun->isRunning();
    const bool showBox = asked || (ownSession && !sessionErrorShown);
    if (reply.resultCode && reportResultCode(*reply.resultCode, showBox, received.receivedAt)) {
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
    if (!reply.resultCode || Device::isSuccess(*reply.resultCode))
        recordReply(reply);
    // The run's own reads of the serial number are for the run, not the controls.
    if (received.identity == Identity::Same && !asked)
        return;
    if (reply.command == Device::Command::LiveValues) {
        // During a test run the values go to the run.
        if (testRun->isRunning()) {
            logRow(received, Device::decodeLiveValues(reply.data));
        } else {
            valuesLate = false;
            emit liveValuesRead(Device::decodeLiveValues(reply.data), received.receivedAt);
        }
        return;
    }
    decodeReply(reply.command, reply.data);
}

// A row is the run's when it came while the run's device was known to be on
// the line; one that came while that was in doubt waits until it is known.
void DeviceSession::logRow(const Reply &reply, const QList<double> &values)
{
    if (reply.fromRunDevice) {
        testRun->logRow(reply.receivedAt, values);
        return;
    }
    heldRows.append({reply.receivedAt, values});
    // A device that never says who it is does not fill the memory.
    if (heldRows.size() > MaxHeldRows)
        heldRows.removeFirst();
}

// The serial number read during a run is the run's device's.
void DeviceSession::runDeviceKnown(const Reply &reply)
{
    if (reply.identifies) {
        runUnidentified = false;
        testRun->note(QStringLiteral("Прибор № %1").arg(reply.serial), reply.receivedAt);
        emit runDeviceChanged();
    }
    if (reply.endsCheck == IdentityCheck::None)
        return;
    if (reply.endsCheck == IdentityCheck::AfterLoss)
        lineBack(reply);
    else
        testRun->note(
            QStringLiteral("На линии прибор № %1: испытание продолжается").arg(reply.serial),
            reply.receivedAt);
    for (const Row &row : std::as_const(heldRows))
        testRun->logRow(row.time, row.values);
    heldRows.clear();
    lineDownShown = false;
    emit indicator(QStringLiteral("green"), QStringLiteral("SUCCESS"));
}

// True when it was an error; its box only where `showBox` says.
bool DeviceSession::reportResultCode(quint8 resultCode, bool showBox, const QDateTime &receivedAt)
{
    const std::optional<Device::Message> error = Device::resultCodeMessage(resultCode);
    if (!error)
        return false;
    emit indicator(QStringLiteral("orange"), QStringLiteral("RC"));
    testRun->note(QStringLiteral("Ошибка прибора: %1").arg(error->text), receivedAt);
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

// No answer for NoAnswerMs. In a run the device on the line may have been
// swapped (a fixed port never vanishes): its serial number is read again, and
// no row is the run's until it is.
void DeviceSession::notAnswered(bool onlyRejected)
{
    const bool first = !silent;
    silent = true;
    const QString word = onlyRejected ? QStringLiteral("BAD PACKET") : QStringLiteral("NOT ANSWER");
    if (!(testRun->isRunning() && identityCheck == IdentityCheck::AfterLoss))
        showLinkState([this, word] { emit indicator(QStringLiteral("red"), word); });
    if (!testRun->isRunning())
        return;
    if (first) {
        const QDateTime now = QDateTime::currentDateTime();
        inTurn([this, now] {
            testRun->note(QStringLiteral("Нет ответа 5 с"), now);
            // A run that never heard its device cannot say which it was.
            setRunUnidentified();
        });
    }
    if (identityCheck == IdentityCheck::None)
        beginIdentityCheck(IdentityCheck::AfterSilence);
}

// The answer to a read could have come by now: live values shown are old, and
// a run that asked for its device's serial number has not been told it.
void DeviceSession::answerMissed()
{
    if (identifyAsked) {
        identifyAsked = false;
        inTurn([this] { setRunUnidentified(); });
    }
    if (poller->isPolling() && !valuesLate) {
        valuesLate = true;
        inTurn([this] { emit liveValuesOverdue(); });
    }
}

void DeviceSession::setRunUnidentified()
{
    if (!testRun->isRunning() || runSerial || runUnidentified)
        return;
    runUnidentified = true;
    testRun->note(QStringLiteral("Прибор не опознан: серийный номер не получен"));
    emit runDeviceChanged();
}

// ---- Write and verify ----

void DeviceSession::setReference(const std::optional<WriteReference> &chosen)
{
    writeReference = chosen;
    emit referenceChanged();
}

bool DeviceSession::writeAndVerify(QString *refusal)
{
    if (!serialLine->isOpen() || testRun->isRunning() || writeVerify || inProcedure)
        return false;
    if (!writeReference) {
        *refusal = QStringLiteral("Ничего не записано: эталон не задан. Загрузите файл "
                                  "конфигурации, задайте значения в окне или сделайте "
                                  "показанное эталоном («Инструменты»).");
        return false;
    }
    if (const std::optional<QString> range = Device::rangeRefusal(writeReference->settings)) {
        *refusal = *range;
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
        const bool error =
            reply.resultCode && reportResultCode(*reply.resultCode, false, received.receivedAt);
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
    journalNote(WriteVerify::title(), writeVerify->journalResult());
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
