#include "config/configfile.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using TestSupport::SimWindow;

// Configuration files against the simulated transmitter: an export holds what
// the window shows after reading everything, a load of it brings the settings
// back and nothing else, and neither puts a byte on the line.
class ConfigEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exportHoldsTheWindowAndLoadRestoresTheSettings();
    void refusedFileLeavesEveryControl();
    void failedWriteIsReported();

private:
    QDoubleSpinBox *spin(const char *name) { return rig->find<QDoubleSpinBox>(name); }
    void exportOne(QString *path);
    void compareSettings(const DeviceConfig &config);
    // Every named control's value, for telling that nothing changed.
    QStringList controlValues();

    std::unique_ptr<SimWindow> rig;
    std::unique_ptr<QTemporaryDir> dir;
};

namespace {

const char *const correctionNames[] = {"refVal",    "refVal_2", "refVal_3",  "refVal_4",
                                       "refVal_5",  "measVal",  "measVal_2", "measVal_3",
                                       "measVal_4", "measVal_5"};

ConfigLimits formLimits()
{
    return {SensorCatalogue::standard(), 0, 12, 0, 5, -275, 3000};
}

} // namespace

void ConfigEndToEndTest::initTestCase()
{
    TestSupport::watchWarnings();
}

void ConfigEndToEndTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    rig = std::make_unique<SimWindow>();
    // A thermocouple "ХА(K)" and values away from every default.
    veltra::sim::DeviceState state = rig->sim().state();
    state.probe = {veltra::sim::KindThermocouple, 0x89, -100.5f, 1200.25f, 5,
                   veltra::sim::CompensationOff,  2.5f};
    state.correction.reference = {-50, 10.25f, 300, 700.5f, 1100};
    state.correction.measured = {-49.75f, 10, 301.125f, 699, 1102.5f};
    state.correction.enabled = true;
    state.production = {30, 6, 2025, 4242, "1.09"};
    state.adc = {1.25f, -0.5f};
    state.cj = {0.75f, 0.125f};
    rig->sim().setState(state);
    QVERIFY(rig->connectWindow());
    rig->window().setConfigDirectory(dir->filePath("configs"));

    size_t replies = 0;
    for (const char *button : {"buttonReadProbeType", "buttonReadRefAndMeas",
                               "buttonReadDeviceInfo", "buttonReadADC", "buttonReadCJ"}) {
        rig->click(button);
        QVERIFY2(rig->waitForReplies(++replies), button);
        rig->settle(); // a new request drops a reply still being received
    }
    QCOMPARE(rig->find<QComboBox>("comboGradName")->currentText(), QStringLiteral("ХА(K)"));
    rig->clearLine();
}

void ConfigEndToEndTest::cleanup()
{
    rig.reset();
    dir.reset();
    QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
}

void ConfigEndToEndTest::exportOne(QString *path)
{
    const TestSupport::ModalBox box =
        TestSupport::closeNextModal([&] { rig->click("readConfig"); });
    const QStringList files = QDir(dir->filePath("configs")).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    *path = dir->filePath("configs/") + files.first();
    QCOMPARE(box.title, QStringLiteral("Экспорт конфигурации"));
    QCOMPARE(box.text, QStringLiteral("Конфигурация сохранена в файл\n") + *path);
}

void ConfigEndToEndTest::compareSettings(const DeviceConfig &c)
{
    QCOMPARE(rig->find<QComboBox>("comboGradType")->currentIndex(), c.kindIndex);
    QCOMPARE(rig->find<QComboBox>("comboGradName")->currentText(), c.typeName);
    QCOMPARE(spin("LowerRange")->value(), c.lower);
    QCOMPARE(spin("UpperRange")->value(), c.upper);
    QCOMPARE(rig->find<QSpinBox>("dempBuffSize")->value(), c.dampingBuffer);
    QCOMPARE(rig->find<QCheckBox>("CompensationCheckBox")->isChecked(), c.compensation);
    QCOMPARE(spin("Hyst")->value(), c.hysteresis);
    for (size_t i = 0; i < 10; ++i)
        QCOMPARE(spin(correctionNames[i])->value(), i < 5 ? c.reference[i] : c.measured[i - 5]);
    QCOMPARE(rig->find<QCheckBox>("CorrectionCheckBox")->isChecked(), c.correctionEnabled);
}

QStringList ConfigEndToEndTest::controlValues()
{
    QStringList values;
    for (QWidget *w : rig->window().findChildren<QWidget *>()) {
        const QString name = w->objectName();
        if (auto *box = qobject_cast<QAbstractSpinBox *>(w))
            values << name + '=' + box->text();
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            values << name + '=' + combo->currentText() + '/' + QString::number(combo->count());
        else if (auto *check = qobject_cast<QCheckBox *>(w))
            values << name + '=' + QString::number(check->isChecked());
        else if (auto *line = qobject_cast<QLineEdit *>(w); line && !name.startsWith("qt_"))
            values << name + '=' + line->text();
    }
    return values;
}

void ConfigEndToEndTest::exportHoldsTheWindowAndLoadRestoresTheSettings()
{
    QString path;
    exportOne(&path);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(rig->lineBytes(), QByteArray());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const ConfigParseResult parsed = ConfigFile::parse(file.readAll(), formLimits());
    QCOMPARE(parsed.error, QString());
    const DeviceConfig exported = *parsed.config;
    compareSettings(exported);
    QCOMPARE(int(*exported.typeCode), 0x89);
    QCOMPARE(exported.serialNumber, rig->find<QSpinBox>("Number")->value());
    QCOMPARE(exported.productionDate, rig->find<QDateEdit>("CurrentDate")->date());
    QCOMPARE(exported.firmwareVersion, rig->find<QLineEdit>("firmwareVersion")->text());
    QCOMPARE(exported.adcFsr, spin("ADC_FSR")->value());
    QCOMPARE(exported.adcOcr, spin("ADC_OCR")->value());
    QCOMPARE(exported.cjFsr, spin("CJ_FSR")->value());
    QCOMPARE(exported.cjOcr, spin("CJ_OCR")->value());
    QVERIFY(qAbs(exported.exportedAt.secsTo(QDateTime::currentDateTime())) < 60);
    QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("4242_")));

    // Another transmitter of the batch: other settings, other production data.
    rig->find<QComboBox>("comboGradType")->setCurrentIndex(0);
    spin("LowerRange")->setValue(-10);
    spin("UpperRange")->setValue(50);
    rig->find<QSpinBox>("dempBuffSize")->setValue(0);
    rig->find<QCheckBox>("CompensationCheckBox")->setChecked(true);
    spin("Hyst")->setValue(0);
    for (const char *name : correctionNames)
        spin(name)->setValue(1);
    rig->find<QCheckBox>("CorrectionCheckBox")->setChecked(false);
    rig->find<QSpinBox>("Number")->setValue(4243);
    spin("ADC_FSR")->setValue(2);
    spin("CJ_OCR")->setValue(-1);

    TestSupport::ModalWatcher boxes;
    QVERIFY(rig->window().loadConfigFile(path));
    rig->settle();
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(rig->lineBytes(), QByteArray());
    compareSettings(exported);
    QCOMPARE(spin("LowerRange")->minimum(), -270.0); // the bounds of "ХА(K)"
    QCOMPARE(spin("UpperRange")->maximum(), 1372.0);
    QCOMPARE(rig->find<QSpinBox>("Number")->value(), 4243);
    QCOMPARE(spin("ADC_FSR")->value(), 2.0);
    QCOMPARE(spin("CJ_OCR")->value(), -1.0);
}

void ConfigEndToEndTest::refusedFileLeavesEveryControl()
{
    QString path;
    exportOne(&path);
    if (QTest::currentTestFailed())
        return;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QJsonObject top = QJsonDocument::fromJson(file.readAll()).object();
    QJsonObject sensor = top.value("sensor").toObject();
    sensor["typeCode"] = 0x5D;
    top["sensor"] = sensor;
    QVERIFY(file.resize(0));
    file.write(QJsonDocument(top).toJson());
    file.close();
    rig->find<QComboBox>("comboGradType")->setCurrentIndex(3);
    spin("LowerRange")->setValue(20);

    const QStringList before = controlValues();
    bool loaded = true;
    const TestSupport::ModalBox box =
        TestSupport::closeNextModal([&] { loaded = rig->window().loadConfigFile(path); });
    QVERIFY(!loaded);
    QCOMPARE(box.title, QStringLiteral("Загрузка конфигурации"));
    QCOMPARE(box.text, QStringLiteral("Конфигурация не загружена из файла\n%1\n\nНеизвестный код "
                                      "типа датчика 0x5D для вида чувствительного элемента 2.")
                           .arg(path));
    QCOMPARE(controlValues(), before);
    QCOMPARE(rig->lineBytes(), QByteArray());
}

void ConfigEndToEndTest::failedWriteIsReported()
{
    // A plain file where the directory should be: nothing can be created in it.
    QFile blocker(dir->filePath("configs"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const TestSupport::ModalBox box =
        TestSupport::closeNextModal([&] { rig->click("readConfig"); });
    QCOMPARE(box.title, QStringLiteral("Экспорт конфигурации"));
    const QStringList lines = box.text.split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QStringLiteral("Не удалось сохранить конфигурацию в файл"));
    QVERIFY2(lines.at(1).startsWith(dir->filePath("configs/4242_")), qPrintable(lines.at(1)));
    QVERIFY2(!lines.at(2).isEmpty(), "the reason");
    QVERIFY(QFileInfo(dir->filePath("configs")).isFile());
}

QTEST_MAIN(ConfigEndToEndTest)
#include "tst_config_e2e.moc"
