#pragma once

#include "calibration/calibrationrecord.h"
#include "catalogue/sensorcatalogue.h"
#include "config/writereference.h"
#include "device/devicerecord.h"
#include "device/replies.h"
#include "device/userrequests.h"
#include "testlog/runevents.h"
#include "writelog/writejournal.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class DeviceWords;
class LineWait;
class Poller;
class SerialLine;
class TestRun;
class WriteVerify;

// One transmitter on one line: the line, its polling, its test run and the
// wait for a lost line, what this connection has read from the device, the
// user's requests and their journal, and write-and-verify. It shows nothing:
// it takes intentions and tells what it read and what became of them, so a
// window, or a rack of them, only listens.
class DeviceSession : public QObject
{
    Q_OBJECT
public:
    // `owner` names the session to another one that wants its port.
    explicit DeviceSession(const QString &owner, QObject *parent = nullptr);
    ~DeviceSession() override;

    SerialLine *line() const { return serialLine; }
    // The sensing-element kinds as the user sees them, for the journal and the run's events.
    void setKindNames(const QStringList &names);
    void setLineWaitIntervals(int reopenEveryMs, int giveUpAfterMs);
    // Where runs go; the working directory when empty.
    void setRunDirectory(const QString &directory) { runDirectory = directory; }
    // For a line among many, where nobody may be kept waiting by a box: port
    // errors come as message()s, run files are named by the device's serial
    // number ("unknown" before it is read), and a run whose rows no longer
    // reach its file ends.
    void setUnattended(bool on);

    // On failure `whyNot` says why, in the user's words.
    bool connectTo(const QString &port, QString *whyNot = nullptr);
    // The user's disconnect: a run ends, and so does a wait for a lost line.
    void disconnectLine();
    bool isOpen() const;
    // A run waits for its lost line to come back.
    bool isWaitingForLine() const { return lineState == LineState::Waiting; }
    // The live values polling shows are not current: the answer to the last
    // read is overdue, or none has come since the port opened.
    bool liveValuesLate() const { return valuesLate; }
    // Open, or waited for: the port is this session's.
    bool holdsPort() const;
    QString portName() const;
    const DeviceRecord &record() const { return deviceRecord; }
    QString describeDevice() const;

    // The user's own requests; `action` names one the user confirmed, whose
    // outcome is told.
    void sendUserRequest(const QByteArray &request, const QString &action = QString());
    // The manual packet window has sent these itself.
    void noteHandSentRequest(const QByteArray &request);
    void noteRawBytesSent(const QByteArray &bytes);

    void startPolling();
    void stopPolling();
    bool isPolling() const;
    void readLiveValues();
    // The device's identity and settings, read once each before the next read
    // of the live values.
    void readDevice();

    // On failure nothing starts and `failure` says why.
    bool startRun(QString *failure);
    void endRun(RunEnd cause, const QString &detail = QString());
    bool isRunning() const;
    const TestRun &run() const { return *testRun; }
    // The serial number of the device the running run records, once known.
    std::optional<qint32> runDevice() const { return runSerial; }
    // The run's device was asked for its serial number and gave none.
    bool runDeviceUnknown() const { return runUnidentified; }
    // The run started before the settings were read in this connection: its
    // record has no range, so its report can have no verdict.
    bool runWithoutSettings() const { return runUnsettled; }

    void setReference(const std::optional<WriteReference> &chosen);
    const std::optional<WriteReference> &reference() const { return writeReference; }
    // False, with the reason, when it cannot start.
    bool writeAndVerify(QString *refusal);
    bool isWriteVerifying() const { return bool(writeVerify); }

    // A calibration procedure drives the line: runs and write-and-verify wait,
    // polling pauses until it ends, and its requests are journaled like the
    // user's while their replies go to it (procedureReplied), never to a box.
    // False when the line is closed or busy.
    bool beginProcedure();
    void endProcedure();
    bool isInProcedure() const { return inProcedure; }
    void sendProcedureRequest(const QByteArray &request);
    // A line of the journal of its own: what was done and how it ended.
    void journalNote(const QString &what, const QString &result);

    // What the calibration of the device on the line found and left in this
    // connection; gone when the connection ends.
    const std::optional<CorrectionResult> &correctionResult() const { return lastCorrection; }
    const std::optional<LoopTestResult> &loopTestResult() const { return lastLoopTest; }
    void setCorrectionResult(const CorrectionResult &result);
    void setLoopTestResult(const LoopTestResult &result);
    // The device as a certificate or a run's start names it.
    DeviceDescription description() const;

    // While a box of the view is open, replies wait; they are taken in the
    // order they came once the last box has closed.
    void holdReplies();
    void releaseReplies();

public slots:
    // A reply as the line delivers it; without a time, it arrived now.
    void takeReply(const QByteArray &reply, const QDateTime &receivedAt = QDateTime());
    void takeCorruptedReply(const QByteArray &reply, const QDateTime &receivedAt = QDateTime());

signals:
    void opened();
    void closed();
    // Opened, closed, or a lost line waited for or given up.
    void connectionChanged();
    void identityChanged();
    void styleChanged(QStringList style);
    void indicator(QString colour, QString word);
    void lineNotice(QString text);
    // Something the user is to be told in a box, if there is one.
    void message(QString title, QString text);

    void liveValuesRead(QList<double> values, QDateTime receivedAt);
    void settingsRead(Device::ProbeTypeReply probe);
    void deviceInfoRead(Device::DeviceInfoReply info);
    void correctionRead(Device::CorrectionPoints points);
    void constantsRead(quint8 command, Device::ConverterConstants constants);

    void pollingChanged();
    // The answer to a read of the live values is overdue.
    void liveValuesOverdue();
    void runStarted();
    void rowLogged(QDateTime time, QList<double> values);
    void runEnded(QString causeText);
    // A run ended by something other than the user: why, for a box.
    void runInterrupted(QString why);
    void runDeviceChanged();
    void referenceChanged();
    void writeVerifyStarted();
    void writeVerifyFinished(QString outcome, bool verified, bool resumePolling);
    void procedureChanged();
    // The reply to a procedure's request; `corrupted` when its check byte was wrong.
    void procedureReplied(QByteArray reply, bool corrupted);
    void procedureUnanswered();

private:
    enum class LineState { None, Waiting };
    // Whether the device on the line is still the run's: asked after a lost
    // line comes back and after a silence, until its serial number is read.
    enum class IdentityCheck { None, AfterSilence, AfterLoss, OtherDevice };
    // What a DeviceInfo reply told about the run's device, judged as it arrived.
    enum class Identity { NotAsked, Same, Other, NotGiven };
    struct Reply
    {
        QByteArray data;
        QDateTime receivedAt;
        bool corrupted = false; // its check byte was wrong
        // It arrived while the run's device was known to be on the line.
        bool fromRunDevice = true;
        bool endsSilence = false;
        bool noteRejection = false; // the first rejected one since the last request
        Identity identity = Identity::NotAsked;
        qint32 serial = 0;       // for Same and Other
        bool identifies = false; // the run's device was not known before it
        IdentityCheck endsCheck = IdentityCheck::None;
    };
    // A reply, or a change of the link indicator, in the order they came.
    struct Held
    {
        std::optional<Reply> reply;
        std::function<void()> action; // when no reply
        bool indicator = false;       // the action only shows a state of the link
    };
    static constexpr int MaxHeldRows = 300; // ten minutes of a run
    struct Row
    {
        QDateTime time;
        QList<double> values;
    };

    void setUpLine();
    void lineOpened();
    void releaseLine(bool keepClaim = false);
    void lineLost(const QString &message);
    void waitForLine(const QString &port);
    void tryReopen(const QString &port);
    void lineBack(const Reply &reply);
    void otherDeviceOnLine(const Reply &reply, qint32 serialNow);
    void abandonLineWait();
    void judgeIdentity(Reply &reply);
    void runDeviceKnown(const Reply &reply);
    void inTurn(const std::function<void()> &action, bool indicator = false);
    void beginIdentityCheck(IdentityCheck check);
    void identifyRunDevice();
    void logRow(const Reply &reply, const QList<double> &values);
    void setRunUnidentified();
    void showLinkState(const std::function<void()> &show);
    void lineStyle(const QStringList &style);
    void requestSent(bool routine);
    void replyRejected(const QByteArray &bytes, const QDateTime &receivedAt);
    void answerMissed();
    void runFileFailing();

    void trackUserRequest(const QByteArray &request, const UserRequests::Request &details);
    void expireUserRequests();
    void acceptReply(Reply reply);
    void processDeferredReplies();
    void processReply(const Reply &received);
    bool reportResultCode(quint8 resultCode, bool showBox, const QDateTime &receivedAt);
    void recordReply(const Device::ReplyHeader &reply);
    void decodeReply(quint8 command, const QByteArray &data);
    void notAnswered(bool onlyRejected);

    void continueWriteVerify(const Reply &received);
    void continueProcedure(const Reply &received);
    void finishWriteVerify();

    DeviceWords deviceWords() const;
    WriteJournal::Device journalDevice() const;
    int journalRequest(const QByteArray &request);
    void journalOutcome(const UserRequests::Request &request, const QString &result);
    void reportJournalFailure();

    SerialLine *serialLine;
    Poller *poller;
    TestRun *testRun;
    LineWait *lineWait;
    SensorCatalogue catalogue;
    QStringList kindNames;
    QString runDirectory;
    bool unattended = false;

    DeviceRecord deviceRecord;
    UserRequests userRequests;
    QElapsedTimer clock; // for the age of the user's requests
    QTimer userRequestTimer;
    WriteJournal journal;

    int holds = 0;
    bool processingReplies = false;
    QList<Held> heldBack;
    // A device error in the program's own replies is told in a box once a
    // polling session or a run; after that only the indicator and the run's events tell.
    bool sessionErrorShown = false;

    LineState lineState = LineState::None;
    IdentityCheck identityCheck = IdentityCheck::None;
    std::optional<qint32> runSerial;
    bool runUnidentified = false;
    bool runUnsettled = false;
    // The run's first reply brings a read of the serial number, which this
    // connection has not read; `identifyAsked` while it is on its way.
    bool identifyAfterReply = false;
    bool identifyAsked = false;
    // Rows that came while the device was in doubt, written once it is known.
    QList<Row> heldRows;

    // No answer for NoAnswerMs: the indicator says so until one comes, and a
    // run's events once.
    bool silent = false;
    bool rejectedNoted = false;
    QStringList styleAfterSilence;
    bool valuesLate = true;
    bool lineDownShown = false; // the indicator says "NO LINE" or "RECONNECT"

    std::optional<WriteReference> writeReference;
    std::unique_ptr<WriteVerify> writeVerify;
    bool pollAfterWriteVerify = false;

    bool inProcedure = false;
    bool sendingForProcedure = false;
    bool pollAfterProcedure = false;
    std::optional<CorrectionResult> lastCorrection;
    std::optional<LoopTestResult> lastLoopTest;
};
