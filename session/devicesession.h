#pragma once

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

    // On failure `whyNot` says why, in the user's words.
    bool connectTo(const QString &port, QString *whyNot = nullptr);
    // The user's disconnect: a run ends, and so does a wait for a lost line.
    void disconnectLine();
    bool isOpen() const;
    // A run waits for its lost line to come back.
    bool isWaitingForLine() const { return lineState == LineState::Waiting; }
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

    // On failure nothing starts and `failure` says why.
    bool startRun(QString *failure);
    void endRun(RunEnd cause, const QString &detail = QString());
    bool isRunning() const;
    const TestRun &run() const { return *testRun; }

    void setReference(const std::optional<WriteReference> &chosen);
    const std::optional<WriteReference> &reference() const { return writeReference; }
    // False, with the reason, when it cannot start.
    bool writeAndVerify(QString *refusal);
    bool isWriteVerifying() const { return bool(writeVerify); }

    // While a box of the view is open, replies wait; they are taken in the
    // order they came once the last box has closed.
    void holdReplies();
    void releaseReplies();

public slots:
    void takeReply(const QByteArray &reply);
    void takeCorruptedReply(const QByteArray &reply);

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

    void liveValuesRead(QList<double> values);
    void settingsRead(Device::ProbeTypeReply probe);
    void deviceInfoRead(Device::DeviceInfoReply info);
    void correctionRead(Device::CorrectionPoints points);
    void constantsRead(quint8 command, Device::ConverterConstants constants);

    void pollingChanged();
    void runStarted();
    void rowLogged(QDateTime time, QList<double> values);
    void runEnded(QString causeText);
    // A run ended by something other than the user: why, for a box.
    void runInterrupted(QString why);
    void referenceChanged();
    void writeVerifyStarted();
    void writeVerifyFinished(QString outcome, bool verified, bool resumePolling);

private:
    enum class LineState { None, Waiting, Verifying };
    struct Reply
    {
        QByteArray data;
        bool corrupted = false; // its check byte was wrong
    };

    void setUpLine();
    void lineOpened();
    void releaseLine(bool keepClaim = false);
    void lineLost(const QString &message);
    void waitForLine(const QString &port);
    void tryReopen(const QString &port);
    void lineBack();
    void abandonLineWait();

    void trackUserRequest(const QByteArray &request, const UserRequests::Request &details);
    void expireUserRequests();
    void acceptReply(const Reply &reply);
    void processDeferredReplies();
    void processReply(const Reply &received);
    bool reportResultCode(quint8 resultCode, bool showBox);
    void recordReply(const Device::ReplyHeader &reply);
    void decodeReply(quint8 command, const QByteArray &data);
    void notAnswered();

    void continueWriteVerify(const Reply &received);
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

    DeviceRecord deviceRecord;
    UserRequests userRequests;
    QElapsedTimer clock; // for the age of the user's requests
    QTimer userRequestTimer;
    WriteJournal journal;

    int holds = 0;
    bool processingReplies = false;
    QList<Reply> deferredReplies;
    // A device error in the program's own replies is told in a box once a
    // polling session or a run; after that only the indicator and the run's events tell.
    bool sessionErrorShown = false;

    LineState lineState = LineState::None;
    std::optional<qint32> serialBeforeLoss;
    QTimer verifyTimer;

    std::optional<WriteReference> writeReference;
    std::unique_ptr<WriteVerify> writeVerify;
    bool pollAfterWriteVerify = false;
};
