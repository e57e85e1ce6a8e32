#include "link/portreader.h"

#include "link/porterrors.h"
#include "link/threadhandoff.h"

PortReader::PortReader(QSerialPort *port, QObject *parent) : QObject(parent), port(port) {}

void PortReader::discardInput()
{
    port->clear(QSerialPort::Input);
    emit inputDiscarded();
}

void PortReader::readAvailable()
{
    if (!port->isOpen() || port->bytesAvailable() <= 0)
        return;
    const QByteArray chunk = port->readAll();
    ThreadHandOff::send();
    emit bytesRead(chunk);
}

void PortReader::filterError(QSerialPort::SerialPortError error)
{
    if (!portErrorMessage(error).isEmpty())
        emit errorRaised(error);
}
