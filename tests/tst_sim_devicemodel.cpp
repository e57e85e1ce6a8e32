// The simulated transmitter's behaviour, request in and reply out: every
// command read, written and echoed, the refusals, administrator mode, and the
// actions as they show in the live values.
#include "sim/devicemodel.h"

#include <QtTest>

#include <cmath>

using namespace veltra::sim;

namespace {

Bytes hex(const char *text)
{
    const QByteArray bytes = QByteArray::fromHex(QByteArray(text).replace(' ', ""));
    return Bytes(bytes.begin(), bytes.end());
}

Bytes probePayload(uint8_t kind, uint8_t code, float lower, float upper)
{
    Bytes payload{kind, code};
    putF32(payload, lower);
    putF32(payload, upper);
    payload.push_back(3); // damping buffer
    payload.push_back(CompensationOff);
    putF32(payload, 1.5f); // hysteresis
    return payload;
}

Bytes correctionPayload(const std::array<float, 5> &reference, const std::array<float, 5> &measured,
                        bool enabled)
{
    Bytes payload;
    for (float value : reference)
        putF32(payload, value);
    for (float value : measured)
        putF32(payload, value);
    payload.push_back(enabled ? 1 : 0);
    return payload;
}

Bytes floats(std::initializer_list<float> values)
{
    Bytes bytes;
    for (float value : values)
        putF32(bytes, value);
    return bytes;
}

struct Model
{
    DeviceModel device;
    double seconds = 0;

    Reply run(uint8_t type, uint8_t command, const Bytes &payload = {})
    {
        return device.handle(Request{type, command, payload}, seconds);
    }
    LiveValues live()
    {
        const Reply reply = run(TypeRead, CmdLiveValues);
        ByteReader data(reply.data);
        LiveValues values{data.f32(), data.f32(), data.f32(), data.f32(), data.f32()};
        return values;
    }
    bool unlock()
    {
        return run(TypeAction, ActFactoryMode, hex("3132333435363738")).data == Bytes{1};
    }
};

} // namespace

Q_DECLARE_METATYPE(Bytes)

class DeviceModelTest : public QObject
{
    Q_OBJECT

private slots:
    void readsAnswerWithTheStoredGroups_data();
    void readsAnswerWithTheStoredGroups();
    void writesAreStoredAndEchoedLikeAReadsReply_data();
    void writesAreStoredAndEchoedLikeAReadsReply();
    void refusedRequestsChangeNothing_data();
    void refusedRequestsChangeNothing();
    void passwordUnlocksAndWrongPasswordLocks();
    void liveValuesDriftWithTimeAndFollowTheRange();
    void fixedCurrentHoldsTheLoop_data();
    void fixedCurrentHoldsTheLoop();
    void autoCalibrationMakesTheConverterReadTrue_data();
    void autoCalibrationMakesTheConverterReadTrue();
    void correctionPointsShiftTheCorrectedValue();
    void thermocoupleCompensationAddsTheColdJunction();
    void coldJunctionConstantsShiftTheColdJunction();
    void eepromSavesRestoresAndClears();
    void badCheckByteReplyCarriesNoData();
};

void DeviceModelTest::readsAnswerWithTheStoredGroups_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<Bytes>("data");
    QTest::newRow("ProbeType: RTD Pt100, 0..100, compensation on")
        << int(CmdProbeType) << hex("03 0C 00000000 0000C842 00 01 00000000");
    QTest::newRow("ADC") << int(CmdAdc) << floats({1.0f, 0.0f});
    QTest::newRow("DeviceInfo: 15.03.2024, serial 1, firmware 1.07")
        << int(CmdDeviceInfo) << hex("0F 03 07E8 01000000 312E3037 00");
    QTest::newRow("RefAndMeas: identity, off")
        << int(CmdRefAndMeas)
        << hex("00000000 0000C841 00004842 00009642 0000C842"
               "00000000 0000C841 00004842 00009642 0000C842 00");
    QTest::newRow("CJ") << int(CmdColdJunction) << floats({1.0f, 0.0f});
}

void DeviceModelTest::readsAnswerWithTheStoredGroups()
{
    QFETCH(int, command);
    QFETCH(Bytes, data);
    Model model;
    const Reply reply = model.run(TypeRead, uint8_t(command));
    QCOMPARE(reply.type, uint8_t(TypeRead));
    QCOMPARE(reply.command, uint8_t(command));
    QCOMPARE(reply.resultCode, uint8_t(RcOk));
    QCOMPARE(reply.status, uint8_t(0));
    QCOMPARE(reply.data, data);
}

void DeviceModelTest::writesAreStoredAndEchoedLikeAReadsReply_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<Bytes>("payload");
    QTest::addColumn<bool>("needsAdmin");
    QTest::newRow("ProbeType: thermocouple K")
        << int(CmdProbeType) << probePayload(KindThermocouple, 0x89, -100, 1200) << false;
    QTest::newRow("ProbeType: TMP123 at its limits")
        << int(CmdProbeType) << probePayload(KindTmp123, 0xF0, -60, 85) << false;
    QTest::newRow("ProbeType: 4-wire Cu53 at its limits")
        << int(CmdProbeType) << probePayload(KindRtd4, 0xF2, -50, 180) << false;
    QTest::newRow("ADC") << int(CmdAdc) << floats({1.25f, -0.5f}) << true;
    QTest::newRow("RefAndMeas") << int(CmdRefAndMeas)
                                << correctionPayload({1, 2, 3, 4, 5},
                                                     {1.5f, 2.5f, 3.5f, 4.5f, 5.5f}, true)
                                << false;
    QTest::newRow("CJ") << int(CmdColdJunction) << floats({0.98f, 0.25f}) << true;
    QTest::newRow("DeviceInfo: 31.12.1999, serial 123456")
        << int(CmdDeviceInfo) << hex("1F 0C 07CF 40E20100") << true;
}

void DeviceModelTest::writesAreStoredAndEchoedLikeAReadsReply()
{
    QFETCH(int, command);
    QFETCH(Bytes, payload);
    QFETCH(bool, needsAdmin);
    Model model;
    if (needsAdmin)
        QVERIFY(model.unlock());
    const Reply written = model.run(TypeWrite, uint8_t(command), payload);
    QCOMPARE(written.resultCode, uint8_t(RcOk));
    QCOMPARE(written.type, uint8_t(TypeWrite));
    const Reply read = model.run(TypeRead, uint8_t(command));
    QCOMPARE(written.data, read.data);
    // The stored fields come back as sent (DeviceInfo adds its firmware text).
    QVERIFY(read.data.size() >= payload.size());
    QCOMPARE(Bytes(read.data.begin(), read.data.begin() + long(payload.size())), payload);
}

void DeviceModelTest::refusedRequestsChangeNothing_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("command");
    QTest::addColumn<Bytes>("payload");
    QTest::addColumn<bool>("unlocked");
    QTest::addColumn<int>("resultCode");

    const Bytes probe = probePayload(KindRtd3, 0x0C, 0, 50);
    QTest::newRow("read of command 6") << 0 << 6 << Bytes{} << false << 2;
    QTest::newRow("write of the live values") << 1 << 0 << floats({1, 2, 3, 4, 5}) << true << 2;
    QTest::newRow("write of command 9") << 1 << 9 << Bytes{1, 2} << true << 2;
    QTest::newRow("type 3") << 3 << 1 << Bytes{} << false << 2;
    QTest::newRow("type FF") << 0xFF << 0x10 << Bytes{} << false << 2;
    QTest::newRow("action 2") << 2 << 2 << Bytes{1} << true << 2;
    QTest::newRow("action 7") << 2 << 7 << Bytes{1} << true << 2;
    QTest::newRow("ProbeType of 15 bytes")
        << 1 << 1 << Bytes(probe.begin(), probe.end() - 1) << false << 5;
    QTest::newRow("RefAndMeas of 40 bytes") << 1 << 4 << Bytes(40, 0) << false << 5;
    QTest::newRow("DeviceInfo of 7 bytes") << 1 << 3 << Bytes(7, 1) << true << 5;
    QTest::newRow("FixedCurrent of 3 bytes") << 2 << 4 << Bytes(3, 0) << false << 5;
    QTest::newRow("AutoCalibration without point") << 2 << 1 << Bytes{} << false << 5;
    QTest::newRow("EEPROM operation without code") << 2 << 3 << Bytes{} << false << 5;
    QTest::newRow("AutoCalibration point 3") << 2 << 1 << Bytes{3} << false << 3;
    QTest::newRow("EEPROM operation 3") << 2 << 3 << Bytes{3} << false << 3;
    QTest::newRow("ADC while locked") << 1 << 2 << floats({1.1f, 0.1f}) << false << 16;
    QTest::newRow("CJ while locked") << 1 << 5 << floats({1.1f, 0.1f}) << false << 16;
    QTest::newRow("DeviceInfo while locked") << 1 << 3 << hex("01 01 07E8 02000000") << false << 16;
    QTest::newRow("K thermocouple up to 1400")
        << 1 << 1 << probePayload(KindThermocouple, 0x89, 0, 1400) << false << 29;
    QTest::newRow("Cu50 428 down to -181")
        << 1 << 1 << probePayload(KindRtd3, 0x68, -181, 100) << false << 29;
    QTest::newRow("TMP123 up to 86")
        << 1 << 1 << probePayload(KindTmp123, 0xF0, 0, 86) << false << 29;
    QTest::newRow("lower above upper")
        << 1 << 1 << probePayload(KindRtd4, 0x0C, 60, 50) << false << 29;
    QTest::newRow("RTD code with the thermocouple kind")
        << 1 << 1 << probePayload(KindThermocouple, 0x0C, 0, 100) << false << 29;
    QTest::newRow("TMP123 with an RTD code")
        << 1 << 1 << probePayload(KindTmp123, 0x0C, 0, 50) << false << 29;
    QTest::newRow("kind 5") << 1 << 1 << probePayload(5, 0x0C, 0, 50) << false << 29;
    QTest::newRow("range not a number")
        << 1 << 1 << probePayload(KindRtd3, 0x0C, std::nanf(""), 50) << false << 29;
}

void DeviceModelTest::refusedRequestsChangeNothing()
{
    QFETCH(int, type);
    QFETCH(int, command);
    QFETCH(Bytes, payload);
    QFETCH(bool, unlocked);
    QFETCH(int, resultCode);
    Model model;
    if (unlocked)
        QVERIFY(model.unlock());
    const Bytes before[] = {model.run(0, 1).data, model.run(0, 2).data, model.run(0, 3).data,
                            model.run(0, 4).data, model.run(0, 5).data};
    const Reply reply = model.run(uint8_t(type), uint8_t(command), payload);
    QCOMPARE(int(reply.resultCode), resultCode);
    QCOMPARE(reply.type, uint8_t(type));
    QCOMPARE(reply.command, uint8_t(command));
    QVERIFY(reply.data.empty());
    for (int group = 1; group <= 5; ++group)
        QCOMPARE(model.run(0, uint8_t(group)).data, before[group - 1]);
}

void DeviceModelTest::passwordUnlocksAndWrongPasswordLocks()
{
    Model model;
    const Bytes adc = floats({1.5f, 0.25f});
    QCOMPARE(model.run(TypeAction, ActFactoryMode, hex("313233")).data, Bytes{0});
    QCOMPARE(model.run(TypeAction, ActFactoryMode, Bytes{}).data, Bytes{0});
    QCOMPARE(model.run(TypeWrite, CmdAdc, adc).resultCode, uint8_t(RcAccessDenied));

    const Reply unlocked = model.run(TypeAction, ActFactoryMode, hex("3132333435363738"));
    QCOMPARE(unlocked.resultCode, uint8_t(RcOk));
    QCOMPARE(unlocked.data, Bytes{1});
    QCOMPARE(unlocked.status & StatusAdminUnlocked, int(StatusAdminUnlocked));
    const Reply written = model.run(TypeWrite, CmdAdc, adc);
    QCOMPARE(written.resultCode, uint8_t(RcOk));
    QCOMPARE(written.data, adc);
    QVERIFY(model.device.state().adminUnlocked);

    QCOMPARE(model.run(TypeAction, ActFactoryMode, hex("3132333435363739")).data, Bytes{0});
    QCOMPARE(model.run(TypeRead, CmdAdc).status & StatusAdminUnlocked, 0);
    QCOMPARE(model.run(TypeWrite, CmdAdc, adc).resultCode, uint8_t(RcAccessDenied));

    model.device.setPassword("secret");
    QVERIFY(!model.unlock());
    QCOMPARE(model.run(TypeAction, ActFactoryMode, hex("736563726574")).data, Bytes{1});
}

void DeviceModelTest::liveValuesDriftWithTimeAndFollowTheRange()
{
    Model model;
    const LiveValues start = model.live();
    // An uncalibrated Pt100 reads within a degree of the process temperature.
    QVERIFY(std::fabs(start.measured - DeviceModel::processTemperature(0)) < 1.0);
    QVERIFY(std::fabs(start.converter - 100 * (1 + 0.00385 * start.measured)) < 0.01);
    QCOMPARE(start.corrected, start.measured);
    QVERIFY(std::fabs(start.coldJunction - 23.0) < 0.5);
    QVERIFY(std::fabs(start.loopCurrent - (4 + 16 * start.corrected / 100)) < 1e-4);

    model.seconds = 60; // a quarter of the slow swing later
    const LiveValues later = model.live();
    QVERIFY(later.measured - start.measured > 2.0);
    QVERIFY(std::fabs(later.measured - DeviceModel::processTemperature(60)) < 1.0);

    QCOMPARE(model.run(TypeWrite, CmdProbeType, probePayload(KindRtd3, 0x0C, 20, 40)).resultCode,
             uint8_t(RcOk));
    const LiveValues narrow = model.live();
    QVERIFY(std::fabs(narrow.loopCurrent - (4 + 16 * (narrow.corrected - 20) / 20)) < 1e-4);

    model.run(TypeWrite, CmdProbeType, probePayload(KindRtd3, 0x0C, 100, 200));
    QCOMPARE(model.live().loopCurrent, 3.8f);
    model.run(TypeWrite, CmdProbeType, probePayload(KindRtd3, 0x0C, -200, 0));
    QCOMPARE(model.live().loopCurrent, 20.5f);
}

void DeviceModelTest::fixedCurrentHoldsTheLoop_data()
{
    QTest::addColumn<float>("current");
    QTest::addColumn<bool>("fixed");
    QTest::newRow("12.5 mA") << 12.5f << true;
    QTest::newRow("22 mA, beyond the tracking limits") << 22.0f << true;
    QTest::newRow("zero returns to tracking") << 0.0f << false;
    QTest::newRow("negative returns to tracking") << -1.0f << false;
}

void DeviceModelTest::fixedCurrentHoldsTheLoop()
{
    QFETCH(float, current);
    QFETCH(bool, fixed);
    Model model;
    model.run(TypeAction, ActFixedCurrent, floats({7.0f}));
    const Reply reply = model.run(TypeAction, ActFixedCurrent, floats({current}));
    QCOMPARE(reply.resultCode, uint8_t(RcOk));
    QVERIFY(reply.data.empty());
    QCOMPARE(bool(reply.status & StatusFixedCurrent), fixed);
    const LiveValues values = model.live();
    const float tracking = 4 + 16 * values.corrected / 100;
    QCOMPARE(values.loopCurrent, fixed ? current : tracking);
}

void DeviceModelTest::autoCalibrationMakesTheConverterReadTrue_data()
{
    QTest::addColumn<Bytes>("probe");
    QTest::addColumn<double>("idealPerDegree"); // input change per degree near 25 °C
    QTest::addColumn<double>("idealAtZero");
    QTest::newRow("Pt100: ohms") << probePayload(KindRtd3, 0x0C, 0, 100) << 0.385 << 100.0;
    QTest::newRow("voltage: mV") << probePayload(KindVoltage, 0, -60, 85) << 1.0 << 0.0;
}

void DeviceModelTest::autoCalibrationMakesTheConverterReadTrue()
{
    QFETCH(Bytes, probe);
    QFETCH(double, idealPerDegree);
    QFETCH(double, idealAtZero);
    Model model;
    model.run(TypeWrite, CmdProbeType, probe);
    const double tolerance = 0.02 * idealPerDegree; // the simulated noise
    auto error = [&] {
        const double ideal = idealAtZero + idealPerDegree * DeviceModel::processTemperature(0);
        return std::fabs(model.live().converter - ideal);
    };
    QVERIFY(error() > 3 * tolerance);
    const Bytes adcBefore = model.run(TypeRead, CmdAdc).data;

    QCOMPARE(model.run(TypeAction, ActAutoCalibration, Bytes{1}).resultCode, uint8_t(RcOk));
    QCOMPARE(model.run(TypeAction, ActAutoCalibration, Bytes{2}).resultCode, uint8_t(RcOk));
    QVERIFY(model.run(TypeRead, CmdAdc).data != adcBefore);
    QVERIFY2(error() < tolerance, qPrintable(QString::number(error())));
}

void DeviceModelTest::correctionPointsShiftTheCorrectedValue()
{
    Model model;
    const Bytes shifted = correctionPayload({2, 27, 52, 77, 102}, {0, 25, 50, 75, 100}, true);
    model.run(TypeWrite, CmdRefAndMeas, shifted);
    LiveValues values = model.live();
    QVERIFY(std::fabs(values.corrected - (values.measured + 2)) < 1e-3);
    QVERIFY(std::fabs(values.loopCurrent - (4 + 16 * values.corrected / 100)) < 1e-4);

    // Between points of different offsets the correction is linear.
    model.run(TypeWrite, CmdRefAndMeas,
              correctionPayload({0, 20, 40, 60, 80}, {0, 10, 20, 30, 40}, true));
    values = model.live();
    QVERIFY(std::fabs(values.corrected - 2 * values.measured) < 1e-3);

    model.run(TypeWrite, CmdRefAndMeas,
              correctionPayload({0, 20, 40, 60, 80}, {0, 10, 20, 30, 40}, false));
    values = model.live();
    QCOMPARE(values.corrected, values.measured);
}

void DeviceModelTest::thermocoupleCompensationAddsTheColdJunction()
{
    Model model;
    Bytes probe = probePayload(KindThermocouple, 0x89, -100, 1000);
    probe[11] = CompensationOn;
    model.run(TypeWrite, CmdProbeType, probe);
    const LiveValues on = model.live();
    QVERIFY(std::fabs(on.measured - DeviceModel::processTemperature(0)) < 1.0);
    probe[11] = CompensationOff;
    model.run(TypeWrite, CmdProbeType, probe);
    const LiveValues off = model.live();
    // Without compensation only the difference to the cold junction is seen.
    QVERIFY(std::fabs(off.measured - (on.measured - on.coldJunction)) < 0.1);
}

void DeviceModelTest::coldJunctionConstantsShiftTheColdJunction()
{
    Model model;
    const float before = model.live().coldJunction;
    QVERIFY(model.unlock());
    QCOMPARE(model.run(TypeWrite, CmdColdJunction, floats({1.0f, 0.5f})).resultCode, uint8_t(RcOk));
    QVERIFY(std::fabs(model.live().coldJunction - (before - 0.5f)) < 1e-4);
}

void DeviceModelTest::eepromSavesRestoresAndClears()
{
    Model model;
    const Bytes defaults = model.run(TypeRead, CmdProbeType).data;
    const Bytes saved = probePayload(KindThermocouple, 0x94, -50, 500);
    const Bytes later = probePayload(KindRtd4, 0x5C, 0, 150);

    model.run(TypeWrite, CmdProbeType, saved);
    QCOMPARE(model.run(TypeAction, ActEepromOperation, Bytes{EepromSaveFactory}).resultCode,
             uint8_t(RcOk));
    model.run(TypeWrite, CmdProbeType, later);
    model.run(TypeAction, ActEepromOperation, Bytes{EepromRestoreFactory});
    QCOMPARE(model.run(TypeRead, CmdProbeType).data, saved);

    QVERIFY(model.unlock());
    model.run(TypeWrite, CmdDeviceInfo, hex("01 02 07E9 07000000"));
    model.run(TypeAction, ActEepromOperation, Bytes{EepromClear});
    QCOMPARE(model.run(TypeRead, CmdProbeType).data, defaults);
    // Production data is not a setting: clearing keeps it.
    QCOMPARE(model.run(TypeRead, CmdDeviceInfo).data, hex("01 02 07E9 07000000 312E3037 00"));
}

void DeviceModelTest::badCheckByteReplyCarriesNoData()
{
    Model model;
    QVERIFY(model.unlock());
    const Reply reply = model.device.refuseCheckByte(Request{TypeWrite, CmdAdc, {}});
    QCOMPARE(encodeReply(reply), hex("FF 01 02 02 88 01 88 FF"));
}

QTEST_APPLESS_MAIN(DeviceModelTest)
#include "tst_sim_devicemodel.moc"
