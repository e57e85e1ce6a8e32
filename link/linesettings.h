#pragma once

#include <QSerialPort>
#include <QString>

// The transmitter's line: 9600 baud, 8 data bits, odd parity, 1 stop bit.
namespace LineSettings {

inline void apply(QSerialPort &port)
{
    port.setDataBits(QSerialPort::Data8);
    port.setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    port.setStopBits(QSerialPort::OneStop);
    port.setParity(QSerialPort::OddParity);
}

// A port list entry is "name | description": the name to open is what comes
// before the first space.
inline QString portNameOf(const QString &entry)
{
    const int space = entry.indexOf(QLatin1Char(' '));
    return space < 0 ? entry : entry.left(space);
}

} // namespace LineSettings
