#include "device/devicerecord.h"

#include "device/requests.h"

bool DeviceRecord::hasRead(quint8 command) const
{
    switch (command) {
    case Device::Command::ProbeType:
        return probe.has_value();
    case Device::Command::ADC:
        return adc.has_value();
    case Device::Command::DeviceInfo:
        return info.has_value();
    case Device::Command::RefAndMeas:
        return correction.has_value();
    case Device::Command::CJ:
        return coldJunction.has_value();
    default:
        return false;
    }
}

std::optional<qint32> DeviceRecord::serialNumberIn(const QByteArray &reply)
{
    const Device::ReplyHeader header = Device::parseReply(reply);
    if (header.type == Device::Type::Action || header.command != Device::Command::DeviceInfo ||
        (header.resultCode && !Device::isSuccess(*header.resultCode)) ||
        header.data.size() < groupSize(Device::Command::DeviceInfo))
        return std::nullopt;
    return Device::decodeDeviceInfo(header.data).serialNumber;
}

int DeviceRecord::groupSize(quint8 command)
{
    switch (command) {
    case Device::Command::ProbeType:
        return 12; // kind, code, two limits, buffer, compensation; hysteresis may follow
    case Device::Command::ADC:
    case Device::Command::CJ:
        return 8;
    case Device::Command::DeviceInfo:
        return 8; // date and serial number; the firmware text may be empty
    case Device::Command::RefAndMeas:
        return 41;
    default:
        return 0;
    }
}

void DeviceRecord::take(quint8 command, const QByteArray &data)
{
    if (data.size() < groupSize(command))
        return;
    switch (command) {
    case Device::Command::ProbeType:
        probe = Device::decodeProbeType(data);
        break;
    case Device::Command::ADC:
        adc = Device::decodeConverterConstants(data);
        break;
    case Device::Command::DeviceInfo:
        info = Device::decodeDeviceInfo(data);
        break;
    case Device::Command::RefAndMeas:
        correction = Device::decodeRefAndMeas(data);
        break;
    case Device::Command::CJ:
        coldJunction = Device::decodeConverterConstants(data);
        break;
    default:
        break;
    }
}
