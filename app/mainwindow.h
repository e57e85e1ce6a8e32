#pragma once

#include "catalogue/sensorcatalogue.h"
#include "device/replies.h"
#include "device/requests.h"

#include <QByteArray>
#include <QDateTime>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <array>

class ChartWindow;
class DebugWindow;
class DeviceSession;
class QDialog;
class QDoubleSpinBox;
class RackWindow;
class QMessageBox;
struct ConfigLimits;
struct DeviceConfig;

struct CalibrationSettings;

namespace Ui {
class MainWindow;
}

// The configurator's main window: the view of one transmitter's session. It
// turns its controls into the session's requests and what the session reads
// into its controls, and tells the user in boxes and the status bar.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // A port the system does not list, such as the simulator's pseudo-terminal:
    // added to the port list (and kept there across "Обновить") and selected.
    void addPort(const QString &name);
    // A screen shorter than the window (a laptop at 125 %) gets the window as
    // tall as it has room for, its top on the screen. Call once it is shown.
    void fitToScreen();
    // The burn-in rack, beside this window: shown, raised, and made at the first call.
    RackWindow *openRack();

    // Exports go to, and the load dialog opens on, "configs" in the working
    // directory unless set here.
    void setConfigDirectory(const QString &directory);
    // Fills the settings tab and the correction points from a file, which
    // becomes what write-and-verify writes, or shows why the file cannot be
    // loaded and changes nothing. Sends nothing.
    bool loadConfigFile(const QString &path);

signals:
    void portOpen();
    void portClose();
    // A test run has started; its rows follow.
    void testRunStarted();
    // One row of the running test was logged: its time and the five live values.
    void testRowLogged(const QDateTime &time, const QList<double> &values);

private slots:
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
    void on_referenceFromWindow_triggered();
    void on_findDevice_triggered();
    void on_showRack_triggered();
    void on_correctionWizard_triggered();
    void on_loopTest_triggered();
    void on_calibrationCertificate_triggered();
    void on_buttonClearEEPROM_clicked();
    void on_buttonSaveFactorySettings_clicked();
    void on_buttonFactoryResetSettings_clicked();
    void on_buttonFactoryMode_clicked();
    void on_buttonReadRefAndMeas_clicked();
    void on_buttonWriteRefAndMeas_clicked();
    void on_buttonReadCJ_clicked();
    void on_buttonWriteCJ_clicked();
    // A reply as the worker delivers it.
    void commandProcessing(QByteArray data);
    void changeStatusLabel(QStringList style);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Construction (mainwindow.cpp)
    void setUpStatusBar();
    void setUpTableHeader();
    void setUpSession();
    QStringList kindNames() const;

    // Connection and status (connection.cpp)
    void fillPortList();
    void changeControlsEnabled();
    void setStatusColour(const QString &colour, const QString &word);
    void showDeviceIdentity();
    void tellLine(const QString &text);

    // Boxes: replies wait while one is open (messages.cpp)
    void showInformation(const QString &title, const QString &text);
    bool askYesNo(const QString &title, const QString &text);
    int execHoldingReplies(QMessageBox &box);

    // Requests from the controls (devicecontrols.cpp)
    void confirmAndSend(const QString &action, const QString &question, const QByteArray &request);
    bool mayWriteShown(quint8 command);
    Device::ProbeTypeSettings shownProbeType() const; // a selection only where writable
    Device::CorrectionPoints shownCorrectionPoints() const;
    std::array<QDoubleSpinBox *, 10> correctionBoxes() const;

    // What the session read, in the controls (deviceview.cpp)
    std::array<QDoubleSpinBox *, 5> liveValueBoxes() const;
    void showLiveValues(const QList<double> &values, const QDateTime &receivedAt);
    void showProbeType(const Device::ProbeTypeReply &probe);
    void showDeviceInfo(const Device::DeviceInfoReply &info);
    void showCorrectionPoints(const Device::CorrectionPoints &points);
    void showConstants(quint8 command, const Device::ConverterConstants &constants);
    void showPollingState();
    void updateLiveValuesState();

    // Configuration files and the reference of write-and-verify (configview.cpp)
    QString configDirectory() const;
    ConfigLimits configLimits() const;
    void applyConfig(const DeviceConfig &config);
    void watchUserEdits();
    void userEdited();
    void takeReferenceFromWindow(const QString &fileName, bool edited);
    void showReference();
    void updateWriteAndVerifyEnabled();
    void showWriteVerifyOutcome(const QString &outcome, bool verified, bool resumePolling);

    // Calibration: the wizards and the certificate (calibrationview.cpp)
    void updateCalibrationEnabled();
    void openCalibrationDialog(QDialog *dialog);
    CalibrationSettings calibrationDefaults();

    // Test runs and the chart (testingview.cpp, chartview.cpp)
    void showRowLogged(const QDateTime &time, const QList<double> &values);
    void showRunState();
    void showRunEnded(const QString &causeText);
    void tellRunEnded(const QString &why);
    ChartWindow *chartWindow();
    void followRunInChart();
    void startRunIn(ChartWindow *chart);

    Ui::MainWindow *ui;
    DeviceSession *session = nullptr;
    DebugWindow *debugWindow = nullptr;
    RackWindow *rackWindow = nullptr;
    QPointer<QDialog> calibrationDialog; // one at a time: each holds the line
    SensorCatalogue catalogue;
    QLabel statusLabel;
    QLabel deviceLabel;    // status bar: which device this connection has read
    QLabel lineNotice;     // status bar: a lost line and what it ended
    QLabel referenceLabel; // status bar: what write-and-verify writes
    QStringList addedPorts;
    QString configDir; // empty: "configs" in the working directory
    QDateTime liveValuesShownAt;
    // The groups whose controls hold values the user chose, typed or loaded
    // from a file, rather than values read from a device.
    QSet<quint8> chosenGroups;
    // The controls are being filled from the device or a file, not edited by the user.
    int fillingControls = 0;
};
