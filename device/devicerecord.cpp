#include "device/devicerecord.h"

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

void DeviceRecord::take(quint8 command, const QByteArray &data)
{
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
