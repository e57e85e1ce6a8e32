// Actions and the live values of the simulated transmitter.
#include "sim/devicemodel.h"

#include "sim/sensors.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace veltra::sim {

namespace {

// The converter's own error before calibration: raw = input * gain + offset.
constexpr double kConverterGain = 1.0021;
constexpr double kConverterOffset = 0.035;
constexpr double kPi = 3.14159265358979323846;

double safeScale(float fsr)
{
    return std::fabs(fsr) < 1e-6f ? 1.0 : fsr;
}

double rawReading(double input)
{
    return input * kConverterGain + kConverterOffset;
}

} // namespace

double DeviceModel::processTemperature(double seconds)
{
    return 25.0 + 3.0 * std::sin(2.0 * kPi * seconds / 240.0);
}

double DeviceModel::coldJunctionTemperature(double seconds)
{
    return 23.0 + 0.4 * std::sin(2.0 * kPi * seconds / 900.0);
}

void DeviceModel::setProcess(const Process &process, double seconds)
{
    m_process = process;
    m_process.noise = std::fabs(process.noise);
    m_processSetAt = seconds;
}

double DeviceModel::temperatureAt(double seconds) const
{
    if (!m_process.temperature)
        return processTemperature(seconds);
    return *m_process.temperature + m_process.driftPerMinute * (seconds - m_processSetAt) / 60.0;
}

LiveValues DeviceModel::liveValues(double seconds)
{
    double scatter = 0.0;
    if (m_process.noise > 0.0)
        scatter =
            std::uniform_real_distribution<double>(-m_process.noise, m_process.noise)(m_noise);
    return valuesFor(temperatureAt(seconds) + scatter, seconds);
}

double DeviceModel::loopCurrent(double seconds) const
{
    return valuesFor(temperatureAt(seconds), seconds).loopCurrent;
}

LiveValues DeviceModel::valuesFor(double temperature, double seconds) const
{
    const ProbeSettings &probe = m_state.probe;
    const double coldJunction = coldJunctionTemperature(seconds);
    const double coldJunctionShown = (coldJunction - m_state.cj.ocr) / safeScale(m_state.cj.fsr);

    const double input = inputForTemperature(probe, temperature, coldJunction);
    const double converter = usesConverter(probe.kind) ? (rawReading(input) - m_state.adc.ocr) /
                                                             safeScale(m_state.adc.fsr)
                                                       : input;
    const double measured = temperatureForInput(probe, converter, coldJunctionShown);
    const double corrected = m_state.correction.enabled ? correct(measured) : measured;
    const double current =
        (m_state.fixedCurrent > 0.0f ? m_state.fixedCurrent : loopCurrentFor(corrected)) +
        m_currentOffset;
    return {static_cast<float>(converter), static_cast<float>(corrected),
            static_cast<float>(measured), static_cast<float>(coldJunctionShown),
            static_cast<float>(current)};
}

// Piecewise linear through the (measured, reference) points, extended past the
// outermost points; points with a repeated measured value are skipped.
double DeviceModel::correct(double temperature) const
{
    std::vector<std::pair<double, double>> points;
    for (size_t i = 0; i < m_state.correction.measured.size(); ++i)
        points.emplace_back(m_state.correction.measured[i], m_state.correction.reference[i]);
    std::stable_sort(points.begin(), points.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    points.erase(std::unique(points.begin(), points.end(),
                             [](const auto &a, const auto &b) { return a.first == b.first; }),
                 points.end());
    if (points.size() < 2)
        return points.empty() ? temperature : temperature + points[0].second - points[0].first;
    size_t segment = 0;
    while (segment + 2 < points.size() && temperature > points[segment + 1].first)
        ++segment;
    const auto &[m0, r0] = points[segment];
    const auto &[m1, r1] = points[segment + 1];
    return r0 + (temperature - m0) * (r1 - r0) / (m1 - m0);
}

double DeviceModel::loopCurrentFor(double temperature) const
{
    const double lower = m_state.probe.lower;
    const double span = m_state.probe.upper - lower;
    const double current =
        span > 0.0 ? 4.0 + 16.0 * (temperature - lower) / span : (temperature < lower ? 4.0 : 20.0);
    return std::clamp(current, 3.8, 20.5);
}

const DeviceModel::ActionEntry *DeviceModel::actionEntry(uint8_t action)
{
    static const ActionEntry factoryMode{&DeviceModel::factoryMode, 0};
    static const ActionEntry calibration{&DeviceModel::autoCalibration, 1};
    static const ActionEntry eeprom{&DeviceModel::eepromOperation, 1};
    static const ActionEntry fixed{&DeviceModel::fixedCurrent, 4};
    switch (action) {
    case ActFactoryMode:
        return &factoryMode;
    case ActAutoCalibration:
        return &calibration;
    case ActEepromOperation:
        return &eeprom;
    case ActFixedCurrent:
        return &fixed;
    default:
        return nullptr;
    }
}

Reply DeviceModel::runAction(const Request &request)
{
    Reply reply;
    const ActionEntry *entry = actionEntry(request.command);
    if (!entry) {
        reply.resultCode = RcUnknownCommand;
        return reply;
    }
    if (request.payload.size() < entry->minimumSize) {
        reply.resultCode = RcShortPayload;
        return reply;
    }
    reply.resultCode = (this->*entry->run)(request.payload, reply.data);
    return reply;
}

// The whole payload is the password, compared byte for byte. A wrong one
// locks administrator mode again.
uint8_t DeviceModel::factoryMode(const Bytes &payload, Bytes &data)
{
    m_state.adminUnlocked = payload == Bytes(m_password.begin(), m_password.end());
    data.push_back(m_state.adminUnlocked ? 1 : 0);
    return RcOk;
}

uint8_t DeviceModel::autoCalibration(const Bytes &payload, Bytes &)
{
    const int point = payload[0];
    if (point < 1)
        return RcTooSmall;
    if (point > 2)
        return RcTooBig;
    const uint8_t kind = m_state.probe.kind;
    m_calibrationRaw[point] = rawReading(calibrationReference(kind, point));
    m_calibrationTaken[point] = true;
    ConverterConstants &adc = m_state.adc;
    const double reference1 = calibrationReference(kind, 1);
    const double reference2 = calibrationReference(kind, 2);
    if (m_calibrationTaken[1] && m_calibrationTaken[2]) {
        const double scale =
            (m_calibrationRaw[1] - m_calibrationRaw[2]) / (reference1 - reference2);
        adc.fsr = static_cast<float>(scale);
        adc.ocr = static_cast<float>(m_calibrationRaw[1] - scale * reference1);
    } else if (point == 1) {
        adc.fsr = static_cast<float>((m_calibrationRaw[1] - adc.ocr) / reference1);
    } else {
        adc.ocr = static_cast<float>(m_calibrationRaw[2] - safeScale(adc.fsr) * reference2);
    }
    return RcOk;
}

uint8_t DeviceModel::eepromOperation(const Bytes &payload, Bytes &)
{
    FactorySettings &factory = m_state.factory;
    switch (payload[0]) {
    case EepromRestoreFactory:
        m_state.probe = factory.probe;
        m_state.adc = factory.adc;
        m_state.cj = factory.cj;
        m_state.correction = factory.correction;
        return RcOk;
    case EepromSaveFactory:
        factory = {m_state.probe, m_state.adc, m_state.cj, m_state.correction};
        return RcOk;
    case EepromClear:
        m_state.probe = ProbeSettings{};
        m_state.correction = CorrectionPoints{};
        m_state.fixedCurrent = 0.0f;
        return RcOk;
    default:
        return RcTooBig;
    }
}

uint8_t DeviceModel::fixedCurrent(const Bytes &payload, Bytes &)
{
    const float current = ByteReader(payload).f32();
    m_state.fixedCurrent = std::isfinite(current) && current > 0.0f ? current : 0.0f;
    return RcOk;
}

} // namespace veltra::sim
