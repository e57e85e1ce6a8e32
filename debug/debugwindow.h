#pragma once

#include "debug/trafficlog.h"

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QTimer>

class DeviceSession;

namespace Ui {
class DebugWindow;
}

// The manual packet window: composes requests or writes raw bytes by hand,
// shows the last request and reply of all traffic, and records all traffic in
// a file while "Записывать обмен в файл" is on.
class DebugWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int RawGroupPauseMs = 8;

    // Sends on the session's line and tells the session what it sent.
    DebugWindow(QWidget *parent, DeviceSession *session);
    ~DebugWindow() override;

signals:
    // What the user sent from here: a request handed to the worker, or raw
    // bytes as typed (all groups of one click).
    void requestSent(QByteArray request);
    void rawBytesSent(QByteArray bytes);

private slots:
    void on_sendButton_clicked();
    void changeEnabled();
    void on_manualSendButton_clicked();
    void on_manualCancelButton_clicked();
    void on_recordTraffic_toggled(bool on);

private:
    void sendNextRawGroup();
    // Drops the groups not sent yet and says how far the send went.
    void endRawSend(const QString &outcome);
    void showRawProgress();
    // Called with whether the last line reached the file; the first failure
    // ends the recording and is told once, the line goes on as before.
    void checkTrafficWritten(bool written);

    Ui::DebugWindow *ui;
    DeviceSession *session;
    // Raw groups still to go, each followed by its pause. They go out from the
    // event loop, so the window stays usable however many there are; one send
    // at a time, which "Прервать" or a disconnect ends early.
    QList<QByteArray> rawGroups;
    QTimer rawPause;
    bool rawSending = false; // from the first group until the pause after the last
    int rawSent = 0;
    int rawTotal = 0;
    bool rawRefused = false; // a second send was asked for while this one ran
    TrafficLog traffic;
};
