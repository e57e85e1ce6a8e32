#pragma once

#include "catalogue/sensorcatalogue.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <array>
#include <optional>

// Requests to the transmitter: a type byte, a command byte and a payload.
// Every builder is a pure function of the values it is given, so the bytes a
// control sends can be checked without a window.
namespace Device {

namespace Type {
constexpr quint8 Read = 0;
constexpr quint8 Write = 1;
constexpr quint8 Action = 2;
} // namespace Type

// Groups that are read and written.
namespace Command {
constexpr quint8 LiveValues = 0;
constexpr quint8 ProbeType = 1;
constexpr quint8 ADC = 2;
constexpr quint8 DeviceInfo = 3;
constexpr quint8 RefAndMeas = 4;
constexpr quint8 CJ = 5;
} // namespace Command

// Things the transmitter is asked to do.
namespace ActionCommand {
constexpr quint8 FactoryMode = 0;
constexpr quint8 AutoCalibration = 1;
constexpr quint8 EepromOperation = 3;
constexpr quint8 FixedCurrent = 4;
} // namespace ActionCommand

enum class CalibrationPoint : quint8 { First = 1, Second = 2 };
enum class EepromOperation : quint8 { ResetToFactory = 0, SaveAsFactory = 1, Clear = 2 };

// The compensation byte of a ProbeType write: off is 2, not 0.
constexpr quint8 CompensationOn = 1;
constexpr quint8 CompensationOff = 2;

struct ProbeTypeSettings
{
    SensorSelection selection{0, SensorCatalogue::Tmp123Code};
    double lower = 0;
    double upper = 0;
    int dampingBuffer = 0; // only the low 8 bits go out
    bool compensation = true;
    double hysteresis = 0;
};

// A converter's full-scale and offset constants (ADC and cold junction alike).
struct ConverterConstants
{
    double fsr = 0;
    double ocr = 0;
};

struct CorrectionPoints
{
    std::array<double, 5> reference{};
    std::array<double, 5> measured{};
    bool enabled = false;
};

QByteArray readRequest(quint8 command);

QByteArray writeProbeType(const ProbeTypeSettings &settings);
// Why such settings are never written: a lower range not below the upper one.
std::optional<QString> rangeRefusal(const ProbeTypeSettings &settings);
QByteArray writeADC(const ConverterConstants &constants);
QByteArray writeCJ(const ConverterConstants &constants);
QByteArray writeDeviceInfo(const QDate &date, qint32 serialNumber);
QByteArray writeRefAndMeas(const CorrectionPoints &points);

QByteArray factoryMode(const QString &password);
QByteArray autoCalibration(CalibrationPoint point);
QByteArray eepromOperation(EepromOperation operation);
QByteArray fixedCurrent(double current);

} // namespace Device
