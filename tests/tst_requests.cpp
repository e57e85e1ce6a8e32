#include "device/requests.h"

#include <QtTest>

// Every request a control can send, as the exact bytes handed to the worker:
// type byte, command byte, payload. Floats are single precision, least
// significant byte first; the year is the one big-endian field.
class RequestsTest : public QObject
{
    Q_OBJECT

private slots:
    void requestHasExactBytes_data();
    void requestHasExactBytes();
    void probeTypePayloadIsSixteenBytes();
    void doublesAreRoundedToSinglePrecision();
};

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text); // spaces are skipped
}

Device::ProbeTypeSettings probe(SensorSelection selection, double lower, double upper, int damping,
                                bool compensation, double hysteresis)
{
    Device::ProbeTypeSettings settings;
    settings.selection = selection;
    settings.lower = lower;
    settings.upper = upper;
    settings.dampingBuffer = damping;
    settings.compensation = compensation;
    settings.hysteresis = hysteresis;
    return settings;
}

Device::CorrectionPoints points(bool enabled)
{
    Device::CorrectionPoints p;
    p.reference = {-200, 0.5, 100, 850, 1000};
    p.measured = {-40, 85, 1.5, -0.25, 12.5};
    p.enabled = enabled;
    return p;
}

} // namespace

void RequestsTest::requestHasExactBytes_data()
{
    using namespace Device;
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("read live values") << readRequest(Command::LiveValues) << hex("00 00");
    QTest::newRow("read probe type") << readRequest(Command::ProbeType) << hex("00 01");
    QTest::newRow("read ADC") << readRequest(Command::ADC) << hex("00 02");
    QTest::newRow("read device info") << readRequest(Command::DeviceInfo) << hex("00 03");
    QTest::newRow("read correction points") << readRequest(Command::RefAndMeas) << hex("00 04");
    QTest::newRow("read CJ") << readRequest(Command::CJ) << hex("00 05");

    QTest::newRow("probe type TMP123, compensation on")
        << writeProbeType(probe({0x00, 0xF0}, -40, 85, 3, true, 0.5))
        << hex("01 01  00 F0  00 00 20 C2  00 00 AA 42  03  01  00 00 00 3F");
    QTest::newRow("probe type compensation off is sent as 2")
        << writeProbeType(probe({0x04, 0x68}, -200, 850, 12, false, 0))
        << hex("01 01  04 68  00 00 48 C3  00 80 54 44  0C  02  00 00 00 00");
    QTest::newRow("probe type damping keeps its low 8 bits")
        << writeProbeType(probe({0x02, 0x8C}, 0, 100, 0x12C, true, 1.5))
        << hex("01 01  02 8C  00 00 00 00  00 00 C8 42  2C  01  00 00 C0 3F");

    QTest::newRow("ADC: FSR then OCR")
        << writeADC({1.5, -0.25}) << hex("01 02  00 00 C0 3F  00 00 80 BE");
    QTest::newRow("CJ: FSR then OCR")
        << writeCJ({-0.25, 1.5}) << hex("01 05  00 00 80 BE  00 00 C0 3F");

    QTest::newRow("device info 15.03.2024, serial 1")
        << writeDeviceInfo(QDate(2024, 3, 15), 1) << hex("01 03  0F 03  07 E8  01 00 00 00");
    QTest::newRow("device info 31.12.1999, largest serial")
        << writeDeviceInfo(QDate(1999, 12, 31), 999999999)
        << hex("01 03  1F 0C  07 CF  FF C9 9A 3B");
    QTest::newRow("device info serial 0x01020304 least significant byte first")
        << writeDeviceInfo(QDate(2155, 1, 2), 0x01020304)
        << hex("01 03  02 01  08 6B  04 03 02 01");

    QTest::newRow("correction points, correction on")
        << writeRefAndMeas(points(true))
        << hex("01 04"
               "00 00 48 C3  00 00 00 3F  00 00 C8 42  00 80 54 44  00 00 7A 44"
               "00 00 20 C2  00 00 AA 42  00 00 C0 3F  00 00 80 BE  00 00 48 41"
               "01");
    QTest::newRow("correction points, correction off is sent as 0")
        << writeRefAndMeas(points(false))
        << hex("01 04"
               "00 00 48 C3  00 00 00 3F  00 00 C8 42  00 80 54 44  00 00 7A 44"
               "00 00 20 C2  00 00 AA 42  00 00 C0 3F  00 00 80 BE  00 00 48 41"
               "00");

    QTest::newRow("password as typed")
        << factoryMode(QStringLiteral("12345678")) << hex("02 00  31 32 33 34 35 36 37 38");
    QTest::newRow("empty password is still sent") << factoryMode(QString()) << hex("02 00");
    QTest::newRow("Latin-1 letters keep their byte")
        << factoryMode(QStringLiteral("café")) << hex("02 00  63 61 66 E9");
    QTest::newRow("Cyrillic letters become question marks")
        << factoryMode(QStringLiteral("пар1")) << hex("02 00  3F 3F 3F 31");

    QTest::newRow("auto-calibration first point")
        << autoCalibration(CalibrationPoint::First) << hex("02 01 01");
    QTest::newRow("auto-calibration second point")
        << autoCalibration(CalibrationPoint::Second) << hex("02 01 02");

    QTest::newRow("EEPROM reset to factory")
        << eepromOperation(EepromOperation::ResetToFactory) << hex("02 03 00");
    QTest::newRow("EEPROM save as factory")
        << eepromOperation(EepromOperation::SaveAsFactory) << hex("02 03 01");
    QTest::newRow("EEPROM clear") << eepromOperation(EepromOperation::Clear) << hex("02 03 02");

    QTest::newRow("fixed current") << fixedCurrent(12.5) << hex("02 04  00 00 48 41");
    QTest::newRow("fixed current zero") << fixedCurrent(0) << hex("02 04  00 00 00 00");
}

void RequestsTest::requestHasExactBytes()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(request.toHex(' '), expected.toHex(' '));
}

void RequestsTest::probeTypePayloadIsSixteenBytes()
{
    const QByteArray request = Device::writeProbeType(probe({0x03, 0x0C}, -1.25, 36.6, 7, true, 5));
    QCOMPARE(request.size(), 2 + 16);
    // The hysteresis is the last field, at payload offset 12.
    QCOMPARE(request.mid(2 + 12).toHex(' '), QByteArray("00 00 a0 40"));
}

void RequestsTest::doublesAreRoundedToSinglePrecision()
{
    // 0.1 and 36.6 are not exact in either precision; the nearest single is sent.
    QCOMPARE(Device::fixedCurrent(0.1).mid(2).toHex(' '), QByteArray("cd cc cc 3d"));
    QCOMPARE(Device::writeADC({36.6, 0.001}).mid(2).toHex(' '),
             QByteArray("66 66 12 42 6f 12 83 3a"));
}

QTEST_APPLESS_MAIN(RequestsTest)
#include "tst_requests.moc"
