#pragma once

#include "device/devicerecord.h"
#include "device/requests.h"
#include "device/userrequests.h"
#include "testlog/runevents.h"
#include "writelog/writejournal.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QSerialPort>
#include <QStringList>
#include <QTimer>

#include <array>
#include <memory>

class DeviceWords;
class QDoubleSpinBox;
class QMessageBox;
class QFile;
struct ConfigLimits;
struct DeviceConfig;
class QThread;
class ChartWindow;
class DebugWindow;
class SerialWorker;
class WriteVerify;

namespace Ui {
class MainWindow;
}

// The configurator's one main window. Its slot definitions are split by
// subsystem: connection and status in app/, requests, replies and polling in
// device/, the sensor lists in catalogue/, test runs in testlog/, configuration
// files and write-and-verify in config/, the chart in plot/, the write journal
// in writelog/, the port search in discovery/.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // A port the system does not list, such as the simulator's pseudo-terminal:
    // added to the port list (and kept there across "Обновить") and selected.
    void addPort(const QString &name);

    // Configuration files (config/confighandlers.cpp). Exports go to, and the
    // load dialog opens on, "configs" in the working directory unless set here.
    void setConfigDirectory(const QString &directory);
    // Fills the settings tab and the correction points from a file, or shows
    // why the file cannot be loaded and changes nothing. Sends nothing.
    bool loadConfigFile(const QString &path);

signals:
    void portOpen();
    void portClose();
    // A test run has started; its rows follow.
    void testRunStarted();
    // One row of the running test was logged: its time and the five live values.
    void testRowLogged(const QDateTime &time, const QList<double> &values);

private slots:
    void notAnswered();
    void on_buttonConnect_clicked();
    void runCommandOne();
    void on_tabWidget_currentChanged(int index);
    void on_startButton_clicked();
    void on_stopButton_clicked();
    void on_comboGradType_currentIndexChanged(int kind);
    void on_comboGradName_currentIndexChanged(int position);
    void on_refreshButton_clicked();
    void on_pushButtonStartTesting_clicked();
    void on_pushButtonStopTesting_clicked();
    void on_debugMode_triggered();
    void on_showChart_triggered();
    void on_buttonReadProbeType_clicked();
    void on_buttonWriteProbeType_clicked();
    void on_buttonFirstPoint_clicked();
    void on_buttonSecondPoint_clicked();
    void on_buttonWriteFixedCurrent_clicked();
    void on_buttonReadADC_clicked();
    void on_buttonWriteADC_clicked();
    void on_buttonReadDeviceInfo_clicked();
    void on_buttonWriteDeviceInfo_clicked();
    void on_readConfig_clicked();
    void on_loadConfig_triggered();
    void on_writeAndVerify_triggered();
    void on_findDevice_triggered();
    void on_buttonClearEEPROM_clicked();
    void on_buttonSaveFactorySettings_clicked();
    void on_buttonFactoryResetSettings_clicked();
    void on_buttonFactoryMode_clicked();
    void on_buttonReadRefAndMeas_clicked();
    void on_buttonWriteRefAndMeas_clicked();
    void on_buttonReadCJ_clicked();
    void on_buttonWriteCJ_clicked();
    void commandProcessing(QByteArray data);
    void corruptedReply(QByteArray data);
    void expireUserRequests();
    void changeStatusLabel(QStringList style);
    void waitPacket();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Construction (app/mainwindow.cpp)
    void setUpTimers();
    void setUpWorker(); // with the status label it colours
    void setUpTableHeader();

    // Finding the transmitter (discovery/searchhandlers.cpp)

    // Connection (app/connection.cpp)
    void changeControlsEnabled();
    void fillPortList();
    bool openLine(const QString &name);
    void releaseLine();
    void closeConnection();
    void closeLostLine(const QString &message);
    // A line lost during a test run: the run waits for the same port to come back.
    void waitForLine(const QString &port);
    void tryReopenLine();
    void lineBack();
    void abandonLineWait();

    // Status indicator and status bar (app/statusindicator.cpp)
    void setStatusColour(const QString &colour, const QString &word);
    void showDeviceIdentity();
    void tellLine(const QString &text);

    // Requests and replies (device/)
    struct Reply
    {
        QByteArray data;
        bool corrupted = false; // its check byte was wrong
    };
    // Requests of the user's own (buttons, the manual packet window); `action`
    // names a request the user confirmed, whose outcome is told in a box.
    void sendUserRequest(const QByteArray &request, const QString &action = QString(),
                         bool ofWriteVerify = false);
    void trackUserRequest(const QByteArray &request, const UserRequests::Request &details);
    void confirmAndSend(const QString &action, const QString &question, const QByteArray &request);
    void processDeferredReplies();
    void sendDueLiveValues();
    void acceptReply(const Reply &reply);
    void processReply(const Reply &reply);
    void dropCorruptedReply(const QByteArray &data, bool usersReply);
    void showInformation(const QString &title, const QString &text);
    bool askYesNo(const QString &title, const QString &text);
    int execHoldingReplies(QMessageBox &box);
    // True when it was an error; its box only where `showBox` says.
    bool reportResultCode(quint8 resultCode, bool showBox);
    void updateLiveValuesState();
    void recordReply(const Device::ReplyHeader &reply);
    void decodeReply(quint8 command, const QByteArray &data);
    void showLiveValues(const QByteArray &data);
    // The Data tab's five boxes, in the order of the live-value reply.
    std::array<QDoubleSpinBox *, 5> liveValueBoxes() const;
    void showConstants(const QByteArray &data, QDoubleSpinBox *fsr, QDoubleSpinBox *ocr);
    Device::ProbeTypeSettings shownProbeType() const; // a selection only where writable
    Device::CorrectionPoints shownCorrectionPoints() const;
    void showCorrectionPoints(const Device::CorrectionPoints &points);
    void showProbeType(const QByteArray &data);
    void showDeviceInfo(const QByteArray &data);
    void showUnlockAnswer(const QByteArray &data);

    // Configuration files (config/)
    QString configDirectory() const;
    DeviceConfig shownConfig() const;
    ConfigLimits configLimits() const;
    void applyConfig(const DeviceConfig &config);
    // Write and verify (config/writeverifyhandlers.cpp)
    void setUpWriteAndVerify();
    void updateWriteAndVerifyEnabled();
    void continueWriteVerify(const Reply &reply);
    void finishWriteVerify(bool boxLater = false);

    // The write journal (writelog/writeloghandlers.cpp)
    void setUpWriteJournal();
    DeviceWords deviceWords() const;
    WriteJournal::Device journalDevice() const;
    // Journals a write or action going out; the number its outcome needs, 0 for a read.
    int journalRequest(const QByteArray &request);
    void journalOutcome(const UserRequests::Request &request, const QString &result);
    void reportJournalFailure();
    void noteHandSentRequest(const QByteArray &request);
    void noteRawBytesSent(const QByteArray &bytes);

    // The chart of test runs (plot/charthandlers.cpp)
    ChartWindow *chartWindow();
    void followRunInChart();
    void startRunIn(ChartWindow *chart);

    // Test runs (testlog/)
    void logLiveValues(const QList<double> &values);
    void noteRunEvent(const QString &text);
    QString describeDevice() const;
    void endTestRun(RunEnd cause, const QString &detail = QString());
    QString runFileShown() const; // the last run's file, as a box names it
    void tellRunEnded(const QString &why);

    Ui::MainWindow *ui;
    SerialWorker *worker = nullptr;
    QSerialPort serialPort;
    QThread *workerThread = nullptr;
    QLabel statusLabel;
    QTimer pollTimer;
    QTimer testTimer;
    QTimer noAnswerTimer;
    // Runs from each request sent until its answer is in (or could have been);
    // a live-value read due meanwhile waits for it.
    QTimer replyWindow;
    bool liveValuesDue = false;
    SensorCatalogue catalogue;
    QStringList addedPorts;
    QFile *testLogFile = nullptr;
    DebugWindow *debugWindow = nullptr;
    bool testRunning = false;
    // Replies that arrive while a message box of this window or a port error
    // box is open wait here.
    int openBoxes = 0;
    bool processingReplies = false;
    QList<Reply> deferredReplies;
    QString configDir; // empty: "configs" in the working directory
    // What this connection has read from the device; emptied when the port opens.
    DeviceRecord deviceRecord;
    UserRequests userRequests;
    QElapsedTimer clock; // for the age of the user's requests
    QTimer userRequestTimer;
    // A device error in the program's own replies opens its box once a polling
    // session or a run; after that only the indicator and the run's events tell.
    bool sessionErrorShown = false;
    QDateTime liveValuesShownAt;
    RunEvents runEvents;
    int runRows = 0;
    QLabel lineNotice; // status bar: a lost line and what it ended
    // A test run outlives a pulled cable: the port is tried again every
    // ReopenEveryMs for up to LineWaitMs, then the device's serial number is
    // read again before the run goes on.
    enum class LineWait { None, Waiting, Verifying };
    static constexpr int ReopenEveryMs = 2000;
    static constexpr int LineWaitMs = 10 * 60 * 1000;
    LineWait lineWait = LineWait::None;
    QString waitedPort;
    std::optional<qint32> serialBeforeLoss;
    QElapsedTimer lineWaitClock;
    QTimer reopenTimer;
    QTimer verifyTimer;
    QLabel deviceLabel; // status bar: which device this connection has read
    WriteJournal writeJournal;
    std::unique_ptr<WriteVerify> writeVerify; // while "Записать и проверить" runs
    bool pollAfterWriteVerify = false;
};
