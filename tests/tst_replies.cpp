#include "device/replies.h"

#include <QtTest>

// Reply decoding without a window: the header, the judgement of result codes
// with their exact box texts, and the data of every command, including
// replies cut short.
class RepliesTest : public QObject
{
    Q_OBJECT

private slots:
    void headerOfShortAndFullReplies_data();
    void headerOfShortAndFullReplies();
    void successCodes_data();
    void successCodes();
    void resultCodeBox_data();
    void resultCodeBox();

    void liveValues_data();
    void liveValues();
    void probeType_data();
    void probeType();
    void converterConstantsReadFsrThenOcr_data();
    void converterConstantsReadFsrThenOcr();
    void deviceInfo_data();
    void deviceInfo();
    void correctionPoints_data();
    void correctionPoints();
    void unlockAnswer_data();
    void unlockAnswer();
};

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Float bytes used below: 25.5 = 00 00 CC 41, -1.25 = 00 00 A0 BF,
// 100 = 00 00 C8 42, 0.5 = 00 00 00 3F, 3 = 00 00 40 40, 7 = 00 00 E0 40.
const char *const fiveFloats = "00 00 CC 41  00 00 A0 BF  00 00 C8 42  00 00 00 3F  00 00 40 40";

} // namespace

using ResultCode = std::optional<quint8>;
Q_DECLARE_METATYPE(ResultCode)

void RepliesTest::headerOfShortAndFullReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("length");
    QTest::addColumn<ResultCode>("resultCode");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("one byte: the rest reads as zero")
        << hex("02") << 2 << 0 << 0 << ResultCode() << QByteArray();
    QTest::newRow("three bytes: no result code")
        << hex("00 05 02") << 0 << 5 << 2 << ResultCode() << QByteArray();
    QTest::newRow("four bytes: result code, no data")
        << hex("01 02 02 1D") << 1 << 2 << 2 << ResultCode(29) << QByteArray();
    QTest::newRow("five bytes: status byte, no data")
        << hex("00 03 02 00 01") << 0 << 3 << 2 << ResultCode(0) << QByteArray();
    QTest::newRow("data after the status byte")
        << hex("00 02 0A 84 03 AA BB") << 0 << 2 << 10 << ResultCode(0x84) << hex("AA BB");
    QTest::newRow("high type byte kept unsigned")
        << hex("FE 81 FF 00 00 01") << 0xFE << 0x81 << 0xFF << ResultCode(0) << hex("01");
}

void RepliesTest::headerOfShortAndFullReplies()
{
    QFETCH(QByteArray, reply);
    const Device::ReplyHeader header = Device::parseReply(reply);
    QTEST(int(header.type), "type");
    QTEST(int(header.command), "command");
    QTEST(int(header.length), "length");
    QTEST(header.resultCode, "resultCode");
    QTEST(header.data, "data");
}

// A success opens no box; the boxes of the errors are checked below.
void RepliesTest::successCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("success");
    for (int code : {0, 8, 11, 14})
        QTest::addRow("%d", code) << code << true;
    for (int code : {1, 7, 15, 127, 128, 255})
        QTest::addRow("%d", code) << code << false;
}

void RepliesTest::successCodes()
{
    QFETCH(int, code);
    QFETCH(bool, success);
    QCOMPARE(Device::isSuccess(quint8(code)), success);
    QCOMPARE(Device::resultCodeMessage(quint8(code)).has_value(), !success);
}

void RepliesTest::resultCodeBox_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QString device = QStringLiteral("Внимание!");
    const QString line = QStringLiteral("Ошибка коммуникации!");
    QTest::newRow("1") << 1 << device << QStringLiteral("Код 1: Неизвестная ошибка!!");
    QTest::newRow("2") << 2 << device
                       << QStringLiteral("Код 2: Код выбранной переменной неправильный!!");
    QTest::newRow("3") << 3 << device
                       << QStringLiteral("Код 3: Переданный параметр слишком большой!!");
    QTest::newRow("4") << 4 << device
                       << QStringLiteral("Код 4: Переданный параметр слишком маленький!!");
    QTest::newRow("5") << 5 << device
                       << QStringLiteral("Код 5: Не все байты данных были приняты!!");
    QTest::newRow("6") << 6 << device << QStringLiteral("Код 6: Специфичная ошибка!!");
    QTest::newRow("7") << 7 << device << QStringLiteral("Код 7: Режим запрета записи!!");
    QTest::newRow("15") << 15 << device << QStringLiteral("Код 15: Неизвестная ошибка!!");
    QTest::newRow("16 has a single !")
        << 16 << device << QStringLiteral("Код 16: Доступ запрещен!");
    QTest::newRow("17") << 17 << device << QStringLiteral("Код 17: Неизвестная ошибка!!");
    QTest::newRow("28") << 28 << device << QStringLiteral("Код 28: Неизвестная ошибка!!");
    QTest::newRow("29 on two lines")
        << 29 << device
        << QStringLiteral("Код 29: Неверный диапазон!\nВыбранные значения не соответствуют "
                          "выбраному типу чувствительного элемента!");
    QTest::newRow("30") << 30 << device << QStringLiteral("Код 30: Неизвестная ошибка!!");
    QTest::newRow("127") << 127 << device << QStringLiteral("Код 127: Неизвестная ошибка!!");

    QTest::newRow("128 alone") << 128 << line << QStringLiteral("Код 128: Неизвестная ошибка!");
    QTest::newRow("128+1") << 129 << line << QStringLiteral("Код 129: Неизвестная ошибка!");
    QTest::newRow("128+2") << 130 << line
                           << QStringLiteral("Код 130: Переданный пакет больше приемного буффера!");
    QTest::newRow("128+4") << 132 << line << QStringLiteral("Код 132: CommunicationFailure!");
    QTest::newRow("128+8") << 136 << line << QStringLiteral("Код 136: CheckByte не совпадает!");
    QTest::newRow("128+16") << 144 << line << QStringLiteral("Код 144: Ошибка фрейма!");
    QTest::newRow("128+32") << 160 << line << QStringLiteral("Код 160: Ошибка перезаписи!");
    QTest::newRow("128+64") << 192 << line << QStringLiteral("Код 192: Ошибка бита четности!");
    QTest::newRow("two flags are not taken apart")
        << 0x98 << line << QStringLiteral("Код 152: Неизвестная ошибка!");
    QTest::newRow("128+2+4") << 134 << line << QStringLiteral("Код 134: Неизвестная ошибка!");
    QTest::newRow("255") << 255 << line << QStringLiteral("Код 255: Неизвестная ошибка!");
}

void RepliesTest::resultCodeBox()
{
    QFETCH(int, code);
    const std::optional<Device::Message> message = Device::resultCodeMessage(quint8(code));
    QVERIFY(message);
    QTEST(message->title, "title");
    QTEST(message->text, "text");
}

void RepliesTest::liveValues_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QList<double>>("values");

    QTest::newRow("five values") << hex(fiveFloats) << QList<double>{25.5, -1.25, 100, 0.5, 3};
    QTest::newRow("missing values read as zero")
        << hex("00 00 CC 41  00 00 A0 BF") << QList<double>{25.5, -1.25, 0, 0, 0};
    QTest::newRow("a float cut short reads as zero")
        << hex("00 00 CC 41  00 00 A0") << QList<double>{25.5, 0, 0, 0, 0};
    QTest::newRow("no data") << QByteArray() << QList<double>{0, 0, 0, 0, 0};
}

void RepliesTest::liveValues()
{
    QFETCH(QByteArray, data);
    QTEST(Device::decodeLiveValues(data), "values");
}

void RepliesTest::probeType_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("kindByte");
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<int>("damping");
    QTest::addColumn<bool>("compensation");
    QTest::addColumn<bool>("hasHysteresis");
    QTest::addColumn<double>("hysteresis");

    QTest::newRow("all sixteen bytes")
        << hex("03 5C  00 00 A0 BF  00 00 C8 42  07  01  00 00 00 3F") << 3 << 3 << 0x5C << -1.25
        << 100.0 << 7 << true << true << 0.5;
    QTest::newRow("twelve bytes: no hysteresis")
        << hex("02 94  00 00 CC 41  00 00 C8 42  02  02") << 2 << 2 << 0x94 << 25.5 << 100.0 << 2
        << false << false << 0.0;
    QTest::newRow("three bytes left are not a hysteresis")
        << hex("02 94  00 00 CC 41  00 00 C8 42  02  01  00 00 40") << 2 << 2 << 0x94 << 25.5
        << 100.0 << 2 << true << false << 0.0;
    QTest::newRow("kind and damping read signed")
        << hex("FF 0C  00 00 00 00  00 00 00 00  FE  01  00 00 40 40") << -1 << 0xFF << 0x0C << 0.0
        << 0.0 << -2 << true << true << 3.0;
    QTest::newRow("compensation only when the byte is 1")
        << hex("00 F0  00 00 00 00  00 00 00 00  00  00") << 0 << 0 << 0xF0 << 0.0 << 0.0 << 0
        << false << false << 0.0;
    QTest::newRow("cut after the lower range")
        << hex("04 68  00 00 CC 41") << 4 << 4 << 0x68 << 25.5 << 0.0 << 0 << false << false << 0.0;
    QTest::newRow("no data: kind 0")
        << QByteArray() << 0 << 0 << 0 << 0.0 << 0.0 << 0 << false << false << 0.0;
}

void RepliesTest::probeType()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, hasHysteresis);
    const Device::ProbeTypeReply probe = Device::decodeProbeType(data);
    QTEST(probe.kind(), "kind");
    QTEST(int(probe.kindByte), "kindByte");
    QTEST(int(probe.code), "code");
    QTEST(probe.lower, "lower");
    QTEST(probe.upper, "upper");
    QTEST(probe.dampingBuffer, "damping");
    QTEST(probe.compensation, "compensation");
    QCOMPARE(probe.hysteresis.has_value(), hasHysteresis);
    if (hasHysteresis)
        QTEST(*probe.hysteresis, "hysteresis");
}

void RepliesTest::converterConstantsReadFsrThenOcr_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<double>("fsr");
    QTest::addColumn<double>("ocr");

    QTest::newRow("both") << hex("00 00 A0 BF  00 00 00 3F") << -1.25 << 0.5;
    QTest::newRow("OCR missing") << hex("00 00 E0 40") << 7.0 << 0.0;
    QTest::newRow("none") << QByteArray() << 0.0 << 0.0;
}

void RepliesTest::converterConstantsReadFsrThenOcr()
{
    QFETCH(QByteArray, data);
    const Device::ConverterConstants constants = Device::decodeConverterConstants(data);
    QTEST(constants.fsr, "fsr");
    QTEST(constants.ocr, "ocr");
}

void RepliesTest::deviceInfo_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("serial");
    QTest::addColumn<QString>("firmware");

    QTest::newRow("15 March 2024, serial 1, firmware 1.07")
        << hex("0F 03 07 E8 01 00 00 00 31 2E 30 37 00") << QDate(2024, 3, 15) << 1
        << QStringLiteral("1.07");
    QTest::newRow("year is high byte first, serial least significant first")
        << hex("1F 0C 07 CF 04 03 02 01 32") << QDate(1999, 12, 31) << 0x01020304
        << QStringLiteral("2");
    QTest::newRow("text stops at the first zero byte")
        << hex("01 01 07 E8 FF FF FF FF 41 00 42 43") << QDate(2024, 1, 1) << -1
        << QStringLiteral("A");
    QTest::newRow("text is UTF-8") << hex("01 01 07 E8 00 00 00 00 D0 B2 31") << QDate(2024, 1, 1)
                                   << 0 << QStringLiteral("в1");
    QTest::newRow("day read signed gives no date")
        << hex("FF 01 07 E8 05 00 00 00") << QDate() << 5 << QString();
    QTest::newRow("month 13 gives no date")
        << hex("01 0D 07 E8 05 00 00 00") << QDate() << 5 << QString();
    QTest::newRow("cut inside the year: year 0, no date")
        << hex("0F 03 07") << QDate() << 0 << QString();
    QTest::newRow("no data") << QByteArray() << QDate() << 0 << QString();
}

void RepliesTest::deviceInfo()
{
    QFETCH(QByteArray, data);
    QFETCH(QDate, date);
    const Device::DeviceInfoReply info = Device::decodeDeviceInfo(data);
    QCOMPARE(info.date().isValid(), date.isValid());
    if (date.isValid())
        QCOMPARE(info.date(), date);
    QTEST(int(info.serialNumber), "serial");
    QTEST(info.firmware, "firmware");
}

void RepliesTest::correctionPoints_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QList<double>>("reference");
    QTest::addColumn<QList<double>>("measured");
    QTest::addColumn<bool>("enabled");

    const QByteArray ten = hex(fiveFloats) + hex("00 00 E0 40  00 00 00 00  00 00 C8 42  "
                                                 "00 00 A0 BF  00 00 CC 41");
    const QList<double> first{25.5, -1.25, 100, 0.5, 3};
    const QList<double> second{7, 0, 100, -1.25, 25.5};
    const QList<double> zeros{0, 0, 0, 0, 0};
    QTest::newRow("flag 1") << ten + hex("01") << first << second << true;
    QTest::newRow("flag 0") << ten + hex("00") << first << second << false;
    QTest::newRow("flag 2 is not on") << ten + hex("02") << first << second << false;
    QTest::newRow("flag missing") << ten << first << second << false;
    QTest::newRow("only the reference values") << hex(fiveFloats) << first << zeros << false;
    QTest::newRow("no data") << QByteArray() << zeros << zeros << false;
}

void RepliesTest::correctionPoints()
{
    QFETCH(QByteArray, data);
    const Device::CorrectionPoints points = Device::decodeRefAndMeas(data);
    QTEST((QList<double>(points.reference.begin(), points.reference.end())), "reference");
    QTEST((QList<double>(points.measured.begin(), points.measured.end())), "measured");
    QTEST(points.enabled, "enabled");
}

void RepliesTest::unlockAnswer_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("wrong password")
        << hex("00") << true << QStringLiteral("Ошибка!") << QStringLiteral("Неверный пароль!");
    QTest::newRow("unlocked") << hex("01") << true << QStringLiteral("Режим Администратора!")
                              << QStringLiteral("Включен!");
    QTest::newRow("only the first byte counts")
        << hex("01 00") << true << QStringLiteral("Режим Администратора!")
        << QStringLiteral("Включен!");
    QTest::newRow("any other value: nothing") << hex("02") << false << QString() << QString();
    QTest::newRow("no data: nothing") << QByteArray() << false << QString() << QString();
}

void RepliesTest::unlockAnswer()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, shown);
    const std::optional<Device::Message> message = Device::unlockAnswerMessage(data);
    QCOMPARE(message.has_value(), shown);
    if (shown) {
        QTEST(message->title, "title");
        QTEST(message->text, "text");
    }
}

QTEST_APPLESS_MAIN(RepliesTest)
#include "tst_replies.moc"
