#include "config/configfile.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

// Configuration files against the simulated transmitter: an export holds what
// this connection read, whatever the window shows since, a load of it brings
// the settings back and nothing else, a refused file changes nothing, and no
// byte goes on the line.
class ConfigEndToEndTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestSupport::SimWindow> rig;
    QString lastPath;

    // Controls are read and set by property: "value", "checked", "currentIndex", ...
    QObject *at(const char *name) { return rig->find<QObject>(name); }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Exports through the button; the file's fields but its time.
    QJsonObject exportNow()
    {
        const TestSupport::ModalBox box =
            TestSupport::closeNextModal([&] { rig->click("readConfig"); });
        lastPath = box.text.section('\n', 1, 1);
        QTest::qCompare(box.title + ": " + box.text, // a failure of the calling test
                        "Экспорт конфигурации: Конфигурация сохранена в файл\n" + lastPath, "box",
                        "expected", __FILE__, __LINE__);
        QJsonObject fields = QJsonDocument::fromJson(contents(lastPath)).object();
        fields.remove(QStringLiteral("exportedAt"));
        return fields;
    }

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        rig = std::make_unique<TestSupport::SimWindow>();
        veltra::sim::DeviceState state =
            rig->sim().state(); // a thermocouple "ХА(K)", other fields fresh
        state.probe = {veltra::sim::KindThermocouple, 0x89, -100.5f, 1200.25f, 5,
                       veltra::sim::CompensationOff,  2.5f};
        state.correction = {
            {-50, 10.25f, 300, 700.5f, 1100}, {-49.75f, 10, 301.125f, 699, 1102.5f}, true};
        rig->sim().setState(state);
        QVERIFY(rig->connectWindow());
        rig->window().setConfigDirectory(dir->filePath("configs"));
        size_t replies = 0;
        auto *status = rig->window().statusBar()->findChild<QLabel *>();
        for (const char *button : {"buttonReadProbeType", "buttonReadRefAndMeas",
                                   "buttonReadDeviceInfo", "buttonReadADC", "buttonReadCJ"}) {
            // A machine stalled for longer than the 300 ms that end a reply
            // splits it, and half a group is not read: ask again.
            for (int attempt = 0; attempt < 3; ++attempt) {
                rig->click(button);
                QVERIFY2(rig->waitForReplies(++replies), button);
                rig->settle(); // a new request drops a reply still being received
                if (status->text() == QStringLiteral("SUCCESS"))
                    break;
            }
        }
        rig->clearLine();
    }

    void cleanup()
    {
        rig.reset();
        dir.reset();
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    void exportHoldsTheWindowLoadRestoresTheSettingsBadFileChangesNothing()
    {
        const QJsonObject exported = exportNow();
        QVERIFY(QFileInfo(lastPath).fileName().startsWith(QStringLiteral("1_")));
        const ConfigParseResult parsed = ConfigFile::parse(
            contents(lastPath), {SensorCatalogue::standard(), 0, 12, 0, 5, -275, 3000});
        QCOMPARE(parsed.error, QString());
        const DeviceConfig &c = *parsed.config;
        QCOMPARE(int(c.probe.selection.code), 0x89);
        QCOMPARE(at("comboGradType")->property("currentIndex"), QVariant(c.kindIndex));
        QCOMPARE(at("comboGradName")->property("currentText"), QVariant(c.typeName));
        QCOMPARE(at("LowerRange")->property("value"), QVariant(c.probe.lower));
        QCOMPARE(at("UpperRange")->property("value"), QVariant(c.probe.upper));
        QCOMPARE(at("dempBuffSize")->property("value"), QVariant(c.probe.dampingBuffer));
        QCOMPARE(at("CompensationCheckBox")->property("checked"), QVariant(c.probe.compensation));
        QCOMPARE(at("Hyst")->property("value"), QVariant(c.probe.hysteresis));
        const char *points[] = {"refVal",  "refVal_2",  "refVal_3",  "refVal_4",  "refVal_5",
                                "measVal", "measVal_2", "measVal_3", "measVal_4", "measVal_5"};
        for (size_t i = 0; i < 10; ++i)
            QCOMPARE(at(points[i])->property("value"),
                     QVariant(i < 5 ? c.correction.reference[i] : c.correction.measured[i - 5]));
        QCOMPARE(at("CorrectionCheckBox")->property("checked"), QVariant(c.correction.enabled));
        QCOMPARE(at("Number")->property("value"), QVariant(c.serialNumber));
        QCOMPARE(at("CurrentDate")->property("date"), QVariant(c.productionDate));
        QCOMPARE(at("firmwareVersion")->property("text"), QVariant(c.firmwareVersion));
        QCOMPARE(at("ADC_FSR")->property("value"), QVariant(c.adc.fsr));
        QCOMPARE(at("ADC_OCR")->property("value"), QVariant(c.adc.ocr));
        QCOMPARE(at("CJ_FSR")->property("value"), QVariant(c.coldJunction.fsr));
        QCOMPARE(at("CJ_OCR")->property("value"), QVariant(c.coldJunction.ocr));

        // Typed over: the export still holds what the device said.
        at("comboGradType")->setProperty("currentIndex", 0);
        for (const char *name : {"LowerRange", "UpperRange", "Hyst", "refVal_3", "measVal_5",
                                 "dempBuffSize", "Number", "ADC_FSR", "CJ_OCR"})
            at(name)->setProperty("value", 3);
        at("UpperRange")->setProperty("value", 4); // a range the device takes
        at("CompensationCheckBox")->setProperty("checked", true);
        at("CorrectionCheckBox")->setProperty("checked", false);
        const QString path = lastPath;
        QCOMPARE(exportNow(), exported);
        bool loaded = false;
        const auto load = [&](const QString &file) { loaded = rig->window().loadConfigFile(file); };
        QVERIFY(!TestSupport::closeNextModal([&] { load(path); }, 500).shown);
        QVERIFY(loaded);
        QCOMPARE(at("LowerRange")->property("minimum"), QVariant(-270.0)); // the bounds of "ХА(K)"
        QCOMPARE(at("UpperRange")->property("maximum"), QVariant(1372.0));
        // What belongs to one device is never loaded.
        QCOMPARE(at("Number")->property("value"), QVariant(3));
        QCOMPARE(at("ADC_FSR")->property("value"), QVariant(3.0));
        QCOMPARE(exportNow(), exported);

        // A file found wrong only in its last field: nothing is applied.
        at("LowerRange")->setProperty("value", 3);
        QJsonObject wrong = QJsonDocument::fromJson(contents(path)).object();
        QJsonObject coldJunction = wrong["coldJunction"].toObject();
        coldJunction["ocr"] = "3";
        wrong["coldJunction"] = coldJunction;
        QFile bad(dir->filePath("bad.json"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QJsonDocument(wrong).toJson());
        bad.close();
        const TestSupport::ModalBox box =
            TestSupport::closeNextModal([&] { load(bad.fileName()); });
        QVERIFY(!loaded);
        QCOMPARE(box.title, QStringLiteral("Загрузка конфигурации"));
        QCOMPARE(box.text, QStringLiteral("Конфигурация не загружена из файла\n%1\n\nПоле "
                                          "«coldJunction.ocr» должно быть числом.")
                               .arg(bad.fileName()));
        QCOMPARE(at("LowerRange")->property("value"), QVariant(3.0));
        QCOMPARE(exportNow(), exported);
        QCOMPARE(rig->lineBytes(), QByteArray());
    }

    // Another device, the last one's values still shown: a file only of what it has read.
    void exportHoldsOnlyTheGroupsRead()
    {
        rig->disconnectWindow();
        QVERIFY(rig->connectWindow());
        TestSupport::ModalBox box = TestSupport::closeNextModal([&] { rig->click("readConfig"); });
        QCOMPARE(box.title + ": " + box.text,
                 QStringLiteral("Экспорт конфигурации: Конфигурация не сохранена: в этом "
                                "подключении с прибора ещё ничего не считано."));
        QVERIFY(QDir(dir->path()).isEmpty());
        rig->click("buttonReadProbeType");
        QVERIFY(rig->waitForReplies(1));
        rig->settle();
        rig->click("buttonReadADC");
        QVERIFY(rig->waitForReplies(2));
        rig->settle();
        box = TestSupport::closeNextModal([&] { rig->click("readConfig"); });
        const QString path = box.text.section('\n', 1, 1);
        QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("config_")));
        QCOMPARE(box.title + ": " + box.text,
                 "Экспорт конфигурации: Конфигурация сохранена в файл\n" + path +
                     "\n\nНе считаны с прибора и не записаны в файл: точки коррекции, "
                     "производственные параметры, константы ХС");
        const QJsonObject fields = QJsonDocument::fromJson(contents(path)).object();
        QCOMPARE(fields.keys().join(' '), "adc compensation dampingBuffer exportedAt format "
                                          "hysteresis notRead program range sensor");
        QCOMPARE(fields["notRead"].toVariant().toStringList(),
                 QStringList({"correction", "production", "coldJunction"}));
    }
};

QTEST_MAIN(ConfigEndToEndTest)
#include "tst_config_e2e.moc"
