// Everything the simulated transmitter stores, grouped the way the commands
// read and write it. Plain values; the defaults are those of a fresh device.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace veltra::sim {

enum SensorKind : uint8_t {
    KindTmp123 = 0,
    KindVoltage = 1,
    KindThermocouple = 2,
    KindRtd3 = 3,
    KindRtd4 = 4
};
enum Compensation : uint8_t { CompensationOn = 1, CompensationOff = 2 };

struct ProbeSettings
{
    uint8_t kind = KindRtd3;
    uint8_t typeCode = 0x0C; // Pt100, alpha 0.00385
    float lower = 0.0f;
    float upper = 100.0f;
    uint8_t damping = 0;
    uint8_t compensation = CompensationOn;
    float hysteresis = 0.0f;
};

// Converter constants: a reading is shown as (raw - ocr) / fsr.
struct ConverterConstants
{
    float fsr = 1.0f;
    float ocr = 0.0f;
};

struct ProductionData
{
    uint8_t day = 15;
    uint8_t month = 3;
    uint16_t year = 2024;
    int32_t serial = 1;
    std::string firmware = "1.07";
};

// Correction points: a value equal to measured[i] is shown as reference[i],
// linear in between and beyond the ends. In degrees Celsius.
struct CorrectionPoints
{
    std::array<float, 5> reference{0.0f, 25.0f, 50.0f, 75.0f, 100.0f};
    std::array<float, 5> measured{0.0f, 25.0f, 50.0f, 75.0f, 100.0f};
    bool enabled = false;
};

// What "save as factory settings" keeps and "restore factory settings" brings back.
struct FactorySettings
{
    ProbeSettings probe;
    ConverterConstants adc;
    ConverterConstants cj;
    CorrectionPoints correction;
};

struct DeviceState
{
    ProbeSettings probe;
    ConverterConstants adc;
    ConverterConstants cj;
    ProductionData production;
    CorrectionPoints correction;
    bool adminUnlocked = false;
    float fixedCurrent = 0.0f; // mA; zero or less means the loop follows the temperature
    FactorySettings factory;
};

// Status byte bits sent in every reply.
enum StatusBits : uint8_t { StatusAdminUnlocked = 0x01, StatusFixedCurrent = 0x02 };

} // namespace veltra::sim
