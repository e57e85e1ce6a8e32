// What the transmitter knows about its sensing elements: the range limits of
// every kind and type code, and a simple physical model of each element used
// to make believable live values.
#pragma once

#include "sim/devicestate.h"

#include <optional>

namespace veltra::sim {

struct RangeLimits
{
    float lower;
    float upper;
};

// Limits of a kind / sensor type code combination; none for an unknown one.
// Kind 1 (voltage) has no type code, so any code is accepted with it.
std::optional<RangeLimits> rangeLimits(uint8_t kind, uint8_t typeCode);

// True when the converter measures resistance (ohms) rather than voltage (mV).
bool measuresResistance(uint8_t kind);
// True when the converter is used at all (the TMP123 sensor is digital).
bool usesConverter(uint8_t kind);

// The value at the input terminals for a process temperature: ohms for RTDs,
// mV for thermocouples (hot junction at `temperature`, cold junction at
// `coldJunction`) and for the voltage input, counts of 1/16 degree for TMP123.
double inputForTemperature(const ProbeSettings &probe, double temperature, double coldJunction);

// The inverse: temperature from an input value. For thermocouples the cold
// junction temperature is added only when compensation is on.
double temperatureForInput(const ProbeSettings &probe, double input, double coldJunction);

// Reference applied to the input for auto-calibration point 1 or 2.
double calibrationReference(uint8_t kind, int point);

} // namespace veltra::sim
