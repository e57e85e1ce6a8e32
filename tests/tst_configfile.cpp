#include "config/configfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <QtTest>

// Configuration files without a window, on the example export (a three-wire
// "ТС-100П 385"): what a file holds survives the trip through JSON, and every
// kind of file that must not be loaded says why.
namespace {

const ConfigLimits limits{SensorCatalogue::standard(), 0, 12, 0, 5, -275, 3000};

QByteArray example(const char *from = "", const char *to = "")
{
    QFile file(QStringLiteral(VELTRA_DOCS_DIR "/example-config.json"));
    file.open(QIODevice::ReadOnly);
    return file.readAll().replace(from, to);
}

// A ProbeType reply's data: a three-wire RTD, code 12, the range, buffer 4,
// compensation on, hysteresis 0.5.
QByteArray probeData(float lower, float upper)
{
    QByteArray data = QByteArray::fromHex("030C");
    for (float value : {lower, upper}) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        data.append(bytes, 4);
    }
    data.append(char(4)).append(char(1));
    char hysteresis[4];
    qToLittleEndian(0.5f, hysteresis);
    return data.append(hysteresis, 4);
}

} // namespace

class ConfigFileTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsEveryField()
    {
        const ConfigParseResult first = ConfigFile::parse(example(), limits);
        QCOMPARE(first.error, QString());
        // Every field read is written back as it was.
        QCOMPARE(QJsonDocument::fromJson(ConfigFile::toJson(*first.config)),
                 QJsonDocument::fromJson(example()));
    }

    // An export holds what the device said, even where no box could show it,
    // and only the groups that came whole: a write's answer without data is no read.
    void anExportHoldsWhatWasReadAsRead_data()
    {
        QTest::addColumn<float>("lower");
        QTest::addColumn<QStringList>("outside");
        QTest::newRow("within the type's limits") << -50.0f << QStringList();
        QTest::newRow("below them") << -300.0f << QStringList{QStringLiteral("«range.lower»")};
    }

    void anExportHoldsWhatWasReadAsRead()
    {
        QFETCH(float, lower);
        QFETCH(QStringList, outside);
        DeviceRecord record;
        record.take(Device::Command::ProbeType, probeData(lower, 150));
        record.take(Device::Command::RefAndMeas, QByteArray(2, '\0'));
        record.take(Device::Command::ADC, QByteArray(7, '\1'));
        const DeviceConfig c = ConfigFile::fromRecord(record, QDateTime::currentDateTime());
        QCOMPARE(c.notRead, (QList<quint8>{Device::Command::RefAndMeas, Device::Command::DeviceInfo,
                                           Device::Command::ADC, Device::Command::CJ}));
        QCOMPARE(c.kindIndex, 3);
        QCOMPARE(c.typeName, QStringLiteral("ТС-100П 385"));
        QCOMPARE(c.probe.lower, double(lower));
        QCOMPARE(c.probe.upper, 150.0);
        QCOMPARE(c.probe.hysteresis, 0.5);
        QCOMPARE(ConfigFile::outsideLimits(c, limits), outside);
    }

    void refusedFilesSayWhy_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        const QByteArray whole = example();
        const QString broken = "Файл повреждён или обрезан: это не JSON (ошибка в позиции %1).";
        const QString foreign = "Это не файл конфигурации программы «Конфигуратор Veltra».";
        DeviceConfig partial = ConfigFile::parse(whole, limits).config.value_or(DeviceConfig());
        partial.notRead = {Device::Command::DeviceInfo, Device::Command::ADC, Device::Command::CJ};
        QTest::newRow("settings and correction only") << ConfigFile::toJson(partial) << QString();
        QTest::newRow("format 1")
            << example("    \"notRead\": [\n    ],\n").replace("\"format\": 2", "\"format\": 1")
            << QString();
        QTest::newRow("truncated") << whole.left(whole.size() - 3) << broken.arg(whole.size() - 3);
        QTest::newRow("another program")
            << example("\"veltra-configurator\"", "\"other\"") << foreign;
        QTest::newRow("newer format") << example("\"format\": 2", "\"format\": 3")
                                      << "Файл записан более новой версией программы (формат 3); "
                                         "эта версия читает формат 2.";
        QTest::newRow("foreign key") << example("\"fsr\": 1.002", "\"gain\": 1, \"fsr\": 1.002")
                                     << "Неизвестное поле «adc.gain».";
        QTest::newRow("missing field")
            << example("    \"hysteresis\": 0.5,\n") << "В файле нет поля «hysteresis».";
        QTest::newRow("unknown code")
            << example("\"typeCode\": 12", "\"typeCode\": 93")
            << "Неизвестный код типа датчика 0x5D для вида чувствительного элемента 3.";
        QTest::newRow("below the type's range")
            << example("\"lower\": -50", "\"lower\": -200.5")
            << "Значение «range.lower» = -200.5 вне допустимых пределов от -200 до 850.";
        QTest::newRow("lower not below upper")
            << example("\"lower\": -50", "\"lower\": 150")
            << "Значение «range.lower» = 150 не меньше значения «range.upper» = 150.";
        QTest::newRow("notRead of numbers")
            << example("[\n    ]", "[4]") << "Поле «notRead» должно быть списком строк.";
        QTest::newRow("unknown group")
            << example("[\n    ]", "[\"gain\"]") << "Неизвестная группа «gain» в поле «notRead».";
        QTest::newRow("settings and correction not read")
            << example("[\n    ]", "[\"correction\", \"settings\"]")
            << "Настройки датчика и точки коррекции не были считаны с прибора при экспорте, и в "
               "файле их нет.";
        QTest::newRow("not read but present")
            << example("[\n    ]", "[\"adc\"]")
            << "Группа «adc» названа в поле «notRead», но её поле «adc» есть в файле.";
    }

    void refusedFilesSayWhy()
    {
        QFETCH(QByteArray, json);
        const ConfigParseResult parsed = ConfigFile::parse(json, limits);
        QTEST(parsed.error, "error");
        QCOMPARE(parsed.config.has_value(), parsed.error.isEmpty());
    }

    void fileNames()
    {
        const QDateTime local(QDate(2026, 12, 8), QTime(10, 15, 30));
        QCOMPARE(ConfigFile::fileName("1042", local, 3), "1042_2026-12-08_10-15-30 (3).json");
        QCOMPARE(ConfigFile::fileName("a/b:c*?. ", local), "a_b_c___2026-12-08_10-15-30.json");
    }
};

QTEST_APPLESS_MAIN(ConfigFileTest)
#include "tst_configfile.moc"
