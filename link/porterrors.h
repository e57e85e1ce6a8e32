#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

// The Russian text for a port error code; empty for the codes that are never shown.
QString portErrorMessage(QSerialPort::SerialPortError error);

// Shows port error boxes in the GUI thread, one at a time: an error that
// arrives while a box is open waits until the user has closed it, unless the
// open box or one already waiting says the same.
class PortErrorReporter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool isShowing() const { return showing; }

public slots:
    void report(const QString &message);

signals:
    // The last box of a series has closed and none is waiting.
    void allClosed();

private:
    QStringList pending;
    QString shown;
    bool showing = false;
};
