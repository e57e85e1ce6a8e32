#pragma once

#include "device/replies.h"

#include <optional>

// What has been read from the device on the line since the port opened. A
// group counts as read once a reply to its read or its write, with a good
// check byte, a success code and the whole group, has been decoded (a reply
// with less decodes to zeros, which the device never said); the controls may hold
// values from elsewhere (a file, another device), which are not this device's.
struct DeviceRecord
{
    std::optional<Device::DeviceInfoReply> info;
    std::optional<Device::ProbeTypeReply> probe;
    std::optional<Device::CorrectionPoints> correction;
    std::optional<Device::ConverterConstants> adc;
    std::optional<Device::ConverterConstants> coldJunction;

    bool hasRead(quint8 command) const;
    // The serial number a whole, successful DeviceInfo reply carries.
    static std::optional<qint32> serialNumberIn(const QByteArray &reply);
    // The bytes of a reply's data that carry the whole group; 0 for no group.
    static int groupSize(quint8 command);
    // Keeps what a good reply of this command says; other commands, and
    // replies without the whole group, change nothing.
    void take(quint8 command, const QByteArray &data);
};
