#pragma once

#include <QSerialPort>

// The transmitter's line: 9600 baud, 8 data bits, odd parity, 1 stop bit.
namespace LineSettings {

inline void apply(QSerialPort &port)
{
    port.setDataBits(QSerialPort::Data8);
    port.setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    port.setStopBits(QSerialPort::OneStop);
    port.setParity(QSerialPort::OddParity);
}

} // namespace LineSettings
