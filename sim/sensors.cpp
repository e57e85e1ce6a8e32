#include "sim/sensors.h"

namespace veltra::sim {

namespace {

struct SensorType
{
    uint8_t code;
    float lower;
    float upper;
    double r0;    // RTDs: resistance at 0 degrees; thermocouples: unused
    double slope; // RTDs: alpha per degree; thermocouples: mV per degree
};

// Linear models are plenty for a simulator; the limits are the real ones.
constexpr SensorType kRtdTypes[] = {
    {0x0C, -200, 850, 100, 0.00385}, {0x0B, -200, 850, 50, 0.00385},
    {0x6B, -220, 850, 100, 0.00391}, {0x6A, -220, 850, 50, 0.00391},
    {0x69, -180, 200, 100, 0.00428}, {0x68, -180, 200, 50, 0.00428},
    {0x5C, -50, 200, 100, 0.00426},  {0x67, -50, 200, 50, 0.00426},
    {0xF1, -200, 650, 46, 0.00391},  {0xF2, -50, 180, 53, 0.00426},
};

constexpr SensorType kThermocoupleTypes[] = {
    {0x94, -200, 800, 0, 0.066},  {0x89, -270, 1372, 0, 0.041}, {0x88, -210, 1200, 0, 0.052},
    {0x8A, -270, 1300, 0, 0.027}, {0x8C, -50, 1768, 0, 0.0065}, {0x87, 0, 2500, 0, 0.014},
    {0x83, 0, 1820, 0, 0.0010},
};

constexpr uint8_t kTmp123Code = 0xF0;
constexpr RangeLimits kInternalLimits{-60, 85};
constexpr double kTmp123DegreesPerCount = 0.0625;

template <size_t N> const SensorType *findType(const SensorType (&table)[N], uint8_t code)
{
    for (const SensorType &type : table) {
        if (type.code == code)
            return &type;
    }
    return nullptr;
}

const SensorType *findType(uint8_t kind, uint8_t code)
{
    if (kind == KindThermocouple)
        return findType(kThermocoupleTypes, code);
    if (kind == KindRtd3 || kind == KindRtd4)
        return findType(kRtdTypes, code);
    return nullptr;
}

} // namespace

std::optional<RangeLimits> rangeLimits(uint8_t kind, uint8_t typeCode)
{
    if (kind == KindVoltage || (kind == KindTmp123 && typeCode == kTmp123Code))
        return kInternalLimits;
    if (const SensorType *type = findType(kind, typeCode))
        return RangeLimits{type->lower, type->upper};
    return std::nullopt;
}

bool measuresResistance(uint8_t kind)
{
    return kind == KindRtd3 || kind == KindRtd4;
}

bool usesConverter(uint8_t kind)
{
    return kind != KindTmp123;
}

double inputForTemperature(const ProbeSettings &probe, double temperature, double coldJunction)
{
    const SensorType *type = findType(probe.kind, probe.typeCode);
    if (measuresResistance(probe.kind))
        return type ? type->r0 * (1.0 + type->slope * temperature) : 100.0;
    if (probe.kind == KindThermocouple)
        return type ? type->slope * (temperature - coldJunction) : 0.0;
    if (probe.kind == KindTmp123)
        return temperature / kTmp123DegreesPerCount;
    return temperature; // voltage input: the value itself, in mV
}

double temperatureForInput(const ProbeSettings &probe, double input, double coldJunction)
{
    const SensorType *type = findType(probe.kind, probe.typeCode);
    if (measuresResistance(probe.kind))
        return type ? (input / type->r0 - 1.0) / type->slope : 0.0;
    if (probe.kind == KindThermocouple) {
        const double hotMinusCold = type ? input / type->slope : 0.0;
        return probe.compensation == CompensationOn ? hotMinusCold + coldJunction : hotMinusCold;
    }
    if (probe.kind == KindTmp123)
        return input * kTmp123DegreesPerCount;
    return input;
}

double calibrationReference(uint8_t kind, int point)
{
    if (measuresResistance(kind))
        return point == 1 ? 400.0 : 1.0;
    return point == 1 ? 110.0 : 0.0;
}

} // namespace veltra::sim
