#include "link/portreader.h"

#include "link/porterrors.h"

PortReader::PortReader(QSerialPort *port, QObject *parent) : QObject(parent), port(port)
{
    connect(port, &QIODevice::aboutToClose, this, &PortReader::portClosing);
}

void PortReader::portClosing()
{
    ++closes;
    silentReadErrors = 0;
    lost = false;
}

void PortReader::discardInput()
{
    port->clear(QSerialPort::Input);
    emit inputDiscarded();
}

void PortReader::readAvailable()
{
    if (!port->isOpen() || port->bytesAvailable() <= 0)
        return;
    silentReadErrors = 0;
    const QByteArray chunk = port->readAll();
    emit bytesRead(chunk);
}

void PortReader::filterError(QSerialPort::SerialPortError error)
{
    if (lost)
        return;
    // ResourceError is the port's own word for a device that went away.
    // ReadError is not: a single failed read can be a glitch of the adapter,
    // and the next read works again. But when the device file has lost its
    // other end (an adapter pulled, a pseudo-terminal closed), every read fails
    // at once and the port, woken for it again and again, raises ReadError
    // tens of thousands of times a second without a byte in between. So the
    // line counts as lost after LostLineReadErrors ReadErrors in a row with
    // nothing read between them and nothing waiting in the port: a glitch
    // never comes that often without data, a dead file gets there within
    // milliseconds.
    if (error == QSerialPort::ResourceError) {
        lost = true;
    } else if (error == QSerialPort::ReadError) {
        if (port->bytesAvailable() > 0)
            silentReadErrors = 0;
        else if (++silentReadErrors >= LostLineReadErrors)
            lost = true;
    }
    if (lost) {
        emit lineLost(error);
        return;
    }
    if (!portErrorMessage(error).isEmpty())
        emit errorRaised(error);
}
