#include "session/devicesession.h"

#include "device/poller.h"
#include "link/serialline.h"
#include "testlog/testrun.h"

bool DeviceSession::beginProcedure()
{
    if (!serialLine->isOpen() || testRun->isRunning() || writeVerify || inProcedure)
        return false;
    inProcedure = true;
    // The procedure reads the live values at its own pace.
    pollAfterProcedure = poller->isPolling();
    if (pollAfterProcedure)
        stopPolling();
    emit procedureChanged();
    return true;
}

void DeviceSession::endProcedure()
{
    if (!inProcedure)
        return;
    inProcedure = false;
    if (pollAfterProcedure && serialLine->isOpen())
        startPolling();
    pollAfterProcedure = false;
    emit procedureChanged();
}

void DeviceSession::sendProcedureRequest(const QByteArray &request)
{
    sendingForProcedure = inProcedure;
    sendUserRequest(request);
    sendingForProcedure = false;
}

// The record and the views take a step's reply as a button's reply; a device
// error shows on the indicator, and the procedure tells it.
void DeviceSession::continueProcedure(const Reply &received)
{
    if (!received.corrupted) {
        const Device::ReplyHeader reply = Device::parseReply(received.data);
        const bool error =
            reply.resultCode && reportResultCode(*reply.resultCode, false, received.receivedAt);
        if (!error) {
            recordReply(reply);
            decodeReply(reply.command, reply.data);
        }
    }
    emit procedureReplied(received.data, received.corrupted);
}

void DeviceSession::setCorrectionResult(const CorrectionResult &result)
{
    lastCorrection = result;
}

void DeviceSession::setLoopTestResult(const LoopTestResult &result)
{
    lastLoopTest = result;
}

void DeviceSession::journalNote(const QString &what, const QString &result)
{
    journal.note(QDateTime::currentDateTime(), journalDevice(), what, result);
    reportJournalFailure();
}
