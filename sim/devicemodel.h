// The transmitter itself: takes one request, changes its stored state and
// builds the reply. One handler per command; no I/O and no clock of its own
// (the caller says how many seconds the device has been running).
#pragma once

#include "sim/devicestate.h"
#include "sim/protocol.h"

#include <optional>
#include <random>
#include <string>

namespace veltra::sim {

enum Command : uint8_t {
    CmdLiveValues = 0,
    CmdProbeType = 1,
    CmdAdc = 2,
    CmdDeviceInfo = 3,
    CmdRefAndMeas = 4,
    CmdColdJunction = 5,
};
enum Action : uint8_t {
    ActFactoryMode = 0,
    ActAutoCalibration = 1,
    ActEepromOperation = 3,
    ActFixedCurrent = 4,
};
enum EepromOperation : uint8_t { EepromRestoreFactory = 0, EepromSaveFactory = 1, EepromClear = 2 };

struct LiveValues
{
    float converter;    // input as the converter reads it: ohms, mV, or TMP123 counts
    float corrected;    // measured temperature after the correction points, degrees C
    float measured;     // temperature from the converter value, degrees C
    float coldJunction; // degrees C
    float loopCurrent;  // mA
};

// What the sensor is put in. With no temperature set it swings slowly
// around 25 °C, as a room does; a set one holds (a bath, a calibrator) and
// moves by the drift from the moment it was set. The noise is the half-width
// of the uniform scatter added to every reading.
struct Process
{
    std::optional<double> temperature; // degrees C
    double noise = 0.01;               // degrees C
    double driftPerMinute = 0;         // degrees C a minute
};

class DeviceModel
{
public:
    static constexpr const char *kDefaultPassword = "12345678";

    DeviceModel();

    Reply handle(const Request &request, double seconds);
    // The answer to a request whose frame failed the check byte test.
    Reply refuseCheckByte(const Request &request) const;

    LiveValues liveValues(double seconds);
    // The current in the loop, as a meter in series reads it: the noise of
    // the readings is not in it.
    double loopCurrent(double seconds) const;
    // The slow swing of an unset process, and the cold junction, after
    // `seconds` of running.
    static double processTemperature(double seconds);
    static double coldJunctionTemperature(double seconds);

    // `seconds` is when it is set: drift counts from there.
    void setProcess(const Process &process, double seconds);
    const Process &process() const { return m_process; }
    double temperatureAt(double seconds) const;

    void setPassword(const std::string &password) { m_password = password; }
    // A loop current off by this many mA, as from a badly trimmed output stage.
    void setCurrentOffset(double mA) { m_currentOffset = mA; }
    // Written upper ranges are kept rounded to a whole degree.
    void setRoundsUpperRange(bool on) { m_roundUpperRange = on; }
    const DeviceState &state() const { return m_state; }
    void setState(const DeviceState &state);

private:
    struct CommandEntry
    {
        Bytes (DeviceModel::*read)(double seconds);
        uint8_t (DeviceModel::*write)(ByteReader &payload);
        size_t writeSize;
        bool adminOnly;
    };
    struct ActionEntry
    {
        uint8_t (DeviceModel::*run)(const Bytes &payload, Bytes &data);
        size_t minimumSize;
    };
    static const CommandEntry *commandEntry(uint8_t command);
    static const ActionEntry *actionEntry(uint8_t action);

    uint8_t statusByte() const;
    Reply readOrWrite(const Request &request, double seconds);
    Reply runAction(const Request &request);

    Bytes readLiveValues(double seconds);
    Bytes readProbe(double seconds);
    Bytes readAdc(double seconds);
    Bytes readDeviceInfo(double seconds);
    Bytes readCorrection(double seconds);
    Bytes readColdJunction(double seconds);

    uint8_t writeProbe(ByteReader &payload);
    uint8_t writeAdc(ByteReader &payload);
    uint8_t writeDeviceInfo(ByteReader &payload);
    uint8_t writeCorrection(ByteReader &payload);
    uint8_t writeColdJunction(ByteReader &payload);

    uint8_t factoryMode(const Bytes &payload, Bytes &data);
    uint8_t autoCalibration(const Bytes &payload, Bytes &data);
    uint8_t eepromOperation(const Bytes &payload, Bytes &data);
    uint8_t fixedCurrent(const Bytes &payload, Bytes &data);

    LiveValues valuesFor(double temperature, double seconds) const;
    double correct(double temperature) const;
    double loopCurrentFor(double temperature) const;

    DeviceState m_state;
    std::string m_password = kDefaultPassword;
    double m_currentOffset = 0.0;
    bool m_roundUpperRange = false;
    // Raw converter readings taken at the two calibration points, if taken.
    double m_calibrationRaw[3] = {0, 0, 0};
    bool m_calibrationTaken[3] = {false, false, false};
    Process m_process;
    double m_processSetAt = 0.0;
    std::mt19937 m_noise{20240315};
};

} // namespace veltra::sim
