#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

// The Russian text for a port error code; empty for the codes that are never shown.
QString portErrorMessage(QSerialPort::SerialPortError error);

// Shows port error boxes in the GUI thread, one after another: an error that
// arrives while a box is open waits until the user has closed it.
class PortErrorReporter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

public slots:
    void report(const QString &message);

private:
    QStringList pending;
    bool showing = false;
};
