#include "config/configfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <functional>

// Configuration files without a window: what a file holds survives the trip
// through JSON, and every kind of file that must not be loaded says why.
class ConfigFileTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsEveryField_data();
    void roundTripKeepsEveryField();
    void refusedFilesSayWhy_data();
    void refusedFilesSayWhy();
    void exampleFileLoads();
    void fileNames_data();
    void fileNames();
};

namespace {

ConfigLimits formLimits()
{
    return {SensorCatalogue::standard(), 0, 12, 0, 5, -275, 3000};
}

// A four-wire "ТС-50М 428" with every other field away from its default.
DeviceConfig sample()
{
    DeviceConfig c;
    c.kindIndex = 4;
    c.typeName = QStringLiteral("ТС-50М 428");
    c.typeCode = 0x68;
    c.lower = -12.5;
    c.upper = 150.25;
    c.dampingBuffer = 7;
    c.compensation = true;
    c.hysteresis = 1.5;
    c.reference = {-10, 0.5, 20.25, 40, 199.9375};
    c.measured = {-10.0625, 0.4375, 20, 40.125, 200};
    c.correctionEnabled = true;
    c.serialNumber = 123456789;
    c.productionDate = QDate(2024, 3, 15);
    c.firmwareVersion = QStringLiteral("1.07");
    c.adcFsr = 1.25;
    c.adcOcr = -0.5;
    c.cjFsr = 0.75;
    c.cjOcr = 0.125;
    c.exportedAt = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30), Qt::OffsetFromUTC, 3 * 3600);
    return c;
}

QByteArray edited(const std::function<void(QJsonObject &)> &edit)
{
    QJsonObject top = QJsonDocument::fromJson(ConfigFile::toJson(sample())).object();
    edit(top);
    return QJsonDocument(top).toJson();
}

// Sets one field of a nested object.
std::function<void(QJsonObject &)> setField(const QString &group, const QString &key,
                                            const QJsonValue &value)
{
    return [=](QJsonObject &top) {
        QJsonObject inner = top.value(group).toObject();
        inner[key] = value;
        top[group] = inner;
    };
}

} // namespace

void ConfigFileTest::roundTripKeepsEveryField_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("typeName");
    QTest::addColumn<int>("typeCode"); // -1: none
    QTest::newRow("four-wire RTD") << 4 << QStringLiteral("ТС-50М 428") << 0x68;
    QTest::newRow("TMP123") << 0 << QString() << 0xF0;
    QTest::newRow("voltage") << 1 << QString() << -1;
}

void ConfigFileTest::roundTripKeepsEveryField()
{
    QFETCH(int, kind);
    QFETCH(QString, typeName);
    QFETCH(int, typeCode);
    DeviceConfig config = sample();
    config.kindIndex = kind;
    config.typeName = typeName;
    config.typeCode = typeCode < 0 ? std::nullopt : std::optional<quint8>(quint8(typeCode));
    if (kind < 2) { // within the TMP123 and voltage row
        config.lower = -60;
        config.upper = 85;
    }

    const QByteArray json = ConfigFile::toJson(config);
    QCOMPARE(QJsonDocument::fromJson(json).object().value("format").toInt(), 1);
    const ConfigParseResult parsed = ConfigFile::parse(json, formLimits());
    QCOMPARE(parsed.error, QString());
    QVERIFY(parsed.config.has_value());
    // Every field is written and read back, so writing the parsed struct gives the same bytes.
    QCOMPARE(QString::fromUtf8(ConfigFile::toJson(*parsed.config)), QString::fromUtf8(json));
    QCOMPARE(parsed.config->typeCode.has_value(), typeCode >= 0);
    QCOMPARE(parsed.config->exportedAt, config.exportedAt);
}

void ConfigFileTest::refusedFilesSayWhy_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");
    const QByteArray whole = ConfigFile::toJson(sample());
    const QString broken = QStringLiteral("Файл повреждён или обрезан: это не JSON (ошибка в "
                                          "позиции %1).");
    const QString foreign =
        QStringLiteral("Это не файл конфигурации программы «Конфигуратор Veltra».");

    QTest::newRow("empty") << QByteArray() << broken.arg(0);
    QTest::newRow("truncated") << whole.left(whole.size() - 3) << broken.arg(whole.size() - 3);
    QTest::newRow("array") << QByteArray("[1, 2]") << foreign;
    QTest::newRow("another program")
        << edited([](QJsonObject &o) { o["program"] = "other"; }) << foreign;
    QTest::newRow("no format") << edited([](QJsonObject &o) { o.remove("format"); }) << foreign;
    QTest::newRow("newer format")
        << edited([](QJsonObject &o) { o["format"] = 2; })
        << QStringLiteral("Файл записан более новой версией программы (формат 2); эта версия "
                          "читает формат 1.");
    QTest::newRow("format as text") << edited([](QJsonObject &o) { o["format"] = "1"; })
                                    << QStringLiteral("Поле «format» должно быть числом.");
    QTest::newRow("foreign key") << edited([](QJsonObject &o) { o["colour"] = 1; })
                                 << QStringLiteral("Неизвестное поле «colour».");
    QTest::newRow("foreign nested key")
        << edited(setField("adc", "gain", 1)) << QStringLiteral("Неизвестное поле «adc.gain».");
    QTest::newRow("missing field") << edited([](QJsonObject &o) { o.remove("hysteresis"); })
                                   << QStringLiteral("В файле нет поля «hysteresis».");
    QTest::newRow("text for a flag")
        << edited([](QJsonObject &o) { o["compensation"] = "yes"; })
        << QStringLiteral("Поле «compensation» должно быть логическим значением (true или false).");
    QTest::newRow("fractional buffer")
        << edited([](QJsonObject &o) { o["dampingBuffer"] = 2.5; })
        << QStringLiteral("Поле «dampingBuffer» должно быть целым числом.");
    QTest::newRow("four points")
        << edited(setField("correction", "reference", QJsonArray{1, 2, 3, 4}))
        << QStringLiteral("Поле «correction.reference» должно быть списком из 5 чисел.");
    QTest::newRow("unknown kind")
        << edited(setField("sensor", "kindIndex", 5))
        << QStringLiteral("Неизвестный вид чувствительного элемента: 5 (поле «sensor.kindIndex»).");
    QTest::newRow("unknown code")
        << edited(setField("sensor", "typeCode", 0x5D))
        << QStringLiteral("Неизвестный код типа датчика 0x5D для вида чувствительного элемента 4.");
    QTest::newRow("code of another type")
        << edited(setField("sensor", "typeCode", 0x0C))
        << QStringLiteral("Тип «ТС-50М 428» не соответствует коду типа датчика (ожидается "
                          "«ТС-100П 385»).");
    QTest::newRow("TMP123 with a code")
        << edited(setField("sensor", "kindIndex", 0))
        << QStringLiteral("Неизвестный код типа датчика 0x68 для датчика TMP123 (ожидается 0xF0).");
    QTest::newRow("below the type's range")
        << edited(setField("range", "lower", -180.5))
        << QStringLiteral(
               "Значение «range.lower» = -180.5 вне допустимых пределов от -180 до 200.");
    QTest::newRow("buffer too long")
        << edited([](QJsonObject &o) { o["dampingBuffer"] = 13; })
        << QStringLiteral("Значение «dampingBuffer» = 13 вне допустимых пределов от 0 до 12.");
    QTest::newRow("point too high")
        << edited(setField("correction", "measured", QJsonArray{0, 0, 0, 0, 3000.5}))
        << QStringLiteral("Значение «correction.measured[4]» = 3000.5 вне допустимых пределов от "
                          "-275 до 3000.");
    QTest::newRow("no such day")
        << edited(setField("production", "date", "2024-02-30"))
        << QStringLiteral("Поле «production.date» должно быть датой вида 2024-03-15.");
}

void ConfigFileTest::refusedFilesSayWhy()
{
    QFETCH(QByteArray, json);
    const ConfigParseResult parsed = ConfigFile::parse(json, formLimits());
    QTEST(parsed.error, "error");
    QVERIFY(!parsed.config.has_value());
}

void ConfigFileTest::exampleFileLoads()
{
    QFile example(QStringLiteral(VELTRA_DOCS_DIR "/example-config.json"));
    QVERIFY(example.open(QIODevice::ReadOnly));
    const ConfigParseResult parsed = ConfigFile::parse(example.readAll(), formLimits());
    QCOMPARE(parsed.error, QString());
    QCOMPARE(parsed.config->typeName, QStringLiteral("ТС-100П 385"));
}

void ConfigFileTest::fileNames_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<int>("copy");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << "1042" << 1 << "1042_2026-12-08_10-15-30.json";
    QTest::newRow("third copy") << "1042" << 3 << "1042_2026-12-08_10-15-30 (3).json";
    QTest::newRow("refused characters") << "a/b:c*?. " << 1 << "a_b_c___2026-12-08_10-15-30.json";
    QTest::newRow("nothing left") << " .. " << 1 << "config_2026-12-08_10-15-30.json";
}

void ConfigFileTest::fileNames()
{
    QFETCH(QString, serial);
    QFETCH(int, copy);
    const QDateTime local(QDate(2026, 12, 8), QTime(10, 15, 30));
    QTEST(ConfigFile::fileName(serial, local, copy), "name");
}

QTEST_APPLESS_MAIN(ConfigFileTest)
#include "tst_configfile.moc"
