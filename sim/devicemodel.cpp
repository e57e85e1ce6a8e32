#include "sim/devicemodel.h"

#include "sim/sensors.h"

#include <cmath>

namespace veltra::sim {

DeviceModel::DeviceModel()
{
    m_state.factory = {m_state.probe, m_state.adc, m_state.cj, m_state.correction};
}

void DeviceModel::setState(const DeviceState &state)
{
    m_state = state;
    for (bool &taken : m_calibrationTaken)
        taken = false;
}

const DeviceModel::CommandEntry *DeviceModel::commandEntry(uint8_t command)
{
    // Writes take the layout of the read of the same command; the live values
    // cannot be written. DeviceInfo is written without the firmware text.
    static const CommandEntry entries[] = {
        {&DeviceModel::readLiveValues, nullptr, 0, false},
        {&DeviceModel::readProbe, &DeviceModel::writeProbe, 16, false},
        {&DeviceModel::readAdc, &DeviceModel::writeAdc, 8, true},
        {&DeviceModel::readDeviceInfo, &DeviceModel::writeDeviceInfo, 8, true},
        {&DeviceModel::readCorrection, &DeviceModel::writeCorrection, 41, false},
        {&DeviceModel::readColdJunction, &DeviceModel::writeColdJunction, 8, true},
    };
    return command < std::size(entries) ? &entries[command] : nullptr;
}

uint8_t DeviceModel::statusByte() const
{
    uint8_t status = 0;
    if (m_state.adminUnlocked)
        status |= StatusAdminUnlocked;
    if (m_state.fixedCurrent > 0.0f)
        status |= StatusFixedCurrent;
    return status;
}

Reply DeviceModel::handle(const Request &request, double seconds)
{
    Reply reply = request.type == TypeAction ? runAction(request) : readOrWrite(request, seconds);
    reply.type = request.type;
    reply.command = request.command;
    reply.status = statusByte();
    return reply;
}

Reply DeviceModel::refuseCheckByte(const Request &request) const
{
    Reply reply;
    reply.type = request.type;
    reply.command = request.command;
    reply.resultCode = RcBadCheckByte;
    reply.status = statusByte();
    return reply;
}

Reply DeviceModel::readOrWrite(const Request &request, double seconds)
{
    Reply reply;
    const CommandEntry *entry = commandEntry(request.command);
    const bool isWrite = request.type == TypeWrite;
    if (!entry || (request.type != TypeRead && !isWrite) || (isWrite && !entry->write)) {
        reply.resultCode = RcUnknownCommand;
        return reply;
    }
    if (isWrite) {
        if (request.payload.size() < entry->writeSize) {
            reply.resultCode = RcShortPayload;
            return reply;
        }
        if (entry->adminOnly && !m_state.adminUnlocked) {
            reply.resultCode = RcAccessDenied;
            return reply;
        }
        ByteReader payload(request.payload);
        reply.resultCode = (this->*entry->write)(payload);
        if (reply.resultCode != RcOk)
            return reply;
    }
    // A write is answered like a read: with what is stored now.
    reply.data = (this->*entry->read)(seconds);
    return reply;
}

Bytes DeviceModel::readLiveValues(double seconds)
{
    const LiveValues values = liveValues(seconds);
    Bytes data;
    for (float value : {values.converter, values.corrected, values.measured, values.coldJunction,
                        values.loopCurrent})
        putF32(data, value);
    return data;
}

Bytes DeviceModel::readProbe(double)
{
    const ProbeSettings &probe = m_state.probe;
    Bytes data;
    putU8(data, probe.kind);
    putU8(data, probe.typeCode);
    putF32(data, probe.lower);
    putF32(data, probe.upper);
    putU8(data, probe.damping);
    putU8(data, probe.compensation);
    putF32(data, probe.hysteresis);
    return data;
}

Bytes DeviceModel::readAdc(double)
{
    Bytes data;
    putF32(data, m_state.adc.fsr);
    putF32(data, m_state.adc.ocr);
    return data;
}

Bytes DeviceModel::readDeviceInfo(double)
{
    const ProductionData &production = m_state.production;
    Bytes data;
    putU8(data, production.day);
    putU8(data, production.month);
    putU16BE(data, production.year);
    putI32(data, production.serial);
    putText(data, production.firmware);
    putU8(data, 0);
    return data;
}

Bytes DeviceModel::readCorrection(double)
{
    const CorrectionPoints &correction = m_state.correction;
    Bytes data;
    for (float value : correction.reference)
        putF32(data, value);
    for (float value : correction.measured)
        putF32(data, value);
    putU8(data, correction.enabled ? 1 : 0);
    return data;
}

Bytes DeviceModel::readColdJunction(double)
{
    Bytes data;
    putF32(data, m_state.cj.fsr);
    putF32(data, m_state.cj.ocr);
    return data;
}

uint8_t DeviceModel::writeProbe(ByteReader &payload)
{
    ProbeSettings probe;
    probe.kind = payload.u8();
    probe.typeCode = payload.u8();
    probe.lower = payload.f32();
    probe.upper = payload.f32();
    probe.damping = payload.u8();
    probe.compensation = payload.u8();
    probe.hysteresis = payload.f32();
    const auto limits = rangeLimits(probe.kind, probe.typeCode);
    if (!limits || !std::isfinite(probe.lower) || !std::isfinite(probe.upper) ||
        probe.lower > probe.upper || probe.lower < limits->lower || probe.upper > limits->upper)
        return RcBadRange;
    if (m_roundUpperRange)
        probe.upper = std::round(probe.upper);
    if (probe.kind != m_state.probe.kind) {
        for (bool &taken : m_calibrationTaken)
            taken = false; // readings in other units no longer apply
    }
    m_state.probe = probe;
    return RcOk;
}

uint8_t DeviceModel::writeAdc(ByteReader &payload)
{
    m_state.adc.fsr = payload.f32();
    m_state.adc.ocr = payload.f32();
    return RcOk;
}

uint8_t DeviceModel::writeDeviceInfo(ByteReader &payload)
{
    ProductionData &production = m_state.production;
    production.day = payload.u8();
    production.month = payload.u8();
    production.year = payload.u16BE();
    production.serial = payload.i32();
    return RcOk;
}

uint8_t DeviceModel::writeCorrection(ByteReader &payload)
{
    CorrectionPoints &correction = m_state.correction;
    for (float &value : correction.reference)
        value = payload.f32();
    for (float &value : correction.measured)
        value = payload.f32();
    correction.enabled = payload.u8() == 1;
    return RcOk;
}

uint8_t DeviceModel::writeColdJunction(ByteReader &payload)
{
    m_state.cj.fsr = payload.f32();
    m_state.cj.ocr = payload.f32();
    return RcOk;
}

} // namespace veltra::sim
