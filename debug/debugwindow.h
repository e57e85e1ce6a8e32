#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QTimer>

class QSerialPort;
class SerialWorker;

namespace Ui {
class DebugWindow;
}

// The manual packet window: composes requests or writes raw bytes by hand,
// and shows the last request and reply of all traffic.
class DebugWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr int RawGroupPauseMs = 8;

    DebugWindow(QWidget *parent, SerialWorker *worker, QSerialPort *port);
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

private:
    void sendNextRawGroup();

    Ui::DebugWindow *ui;
    SerialWorker *worker;
    QSerialPort *port;
    // Raw groups still to go, each followed by its pause. They go out from the
    // event loop, so the window stays usable however many there are, and a
    // disconnect drops the rest.
    QList<QByteArray> rawGroups;
    QTimer rawPause;
};
