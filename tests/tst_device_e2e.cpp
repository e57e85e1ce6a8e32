#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <memory>

using TestSupport::SimWindow;

// The device controls against the simulated transmitter on a pseudo-terminal:
// every button puts its exact frames on the line, the answer lands in the
// controls, and the device's result codes reach the user as boxes and "RC".
class DeviceEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void probeTypeWriteThenReadBack();
    void voltageAndUnknownKindAreNeverWritten();
    void correctionPointsWriteThenReadBack();
    void productionDataNeedsTheAdministrator();
    void unlockAnswersAndTheirBox_data();
    void unlockAnswersAndTheirBox();
    void converterConstantsWriteThenReadBack();
    void autoCalibrationPointsReachTheADCConstants();
    void fixedCurrentShowsInTheLiveValues();
    void eepromSaveClearAndRestore();

    void errorCodeShowsBoxThenDecodes_data();
    void errorCodeShowsBoxThenDecodes();
    void successCodesShowNothing_data();
    void successCodesShowNothing();
    void statusOnlyErrorReplyIsNotDecoded_data();
    void statusOnlyErrorReplyIsNotDecoded();
    void writesOfUnreadValuesAskFirst_data();
    void writesOfUnreadValuesAskFirst();
    void aRangeNotRisingIsNeverWritten();

private:
    template <typename T> T *control(const char *name) { return rig->find<T>(name); }
    QDoubleSpinBox *spin(const char *name) { return control<QDoubleSpinBox>(name); }
    QLabel *statusLabel() { return rig->window().statusBar()->findChild<QLabel *>(); }
    void exchange(const char *button, const QByteArray &request);
    void unlock();
    void setForcedResultCode(int code);

    std::unique_ptr<SimWindow> rig;
};

// Stops the test function when a helper that checks things failed.
#define CHECKED(call)                                                                              \
    do {                                                                                           \
        call;                                                                                      \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray frame(quint8 type, quint8 command, quint8 length, const QByteArray &payload)
{
    QByteArray body;
    body.append(char(type)).append(char(command)).append(char(length)).append(payload);
    quint8 check = 0;
    for (char byte : body)
        check ^= quint8(byte);
    return QByteArray(1, char(0xFF)) + body + char(check) + char(0xFF);
}

// What the line carries for a request: the header frame, then for a write or
// an action with a payload the payload frame of type 3.
QByteArray framesOf(const QByteArray &request)
{
    const quint8 type = quint8(request.at(0));
    const quint8 command = quint8(request.at(1));
    const QByteArray payload = request.mid(2);
    QByteArray line = frame(type, command, quint8(payload.size()), QByteArray());
    if (type != 0 && !payload.isEmpty())
        line += frame(3, command, quint8(payload.size()), payload);
    return line;
}

QString sheetWith(const char *colour)
{
    return QStringLiteral("border-style:solid;border-width:1px;border-color:rgb(0,0,0);"
                          "background-color:") +
           QLatin1String(colour);
}

double shownWithSixDecimals(float value)
{
    return QString::number(double(value), 'f', 6).toDouble();
}

} // namespace

void DeviceEndToEndTest::initTestCase()
{
    TestSupport::watchWarnings();
}

void DeviceEndToEndTest::init()
{
    rig = std::make_unique<SimWindow>();
    QVERIFY(rig->connectWindow());
    rig->clearLine();
}

void DeviceEndToEndTest::cleanup()
{
    rig.reset();
    QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
}

void DeviceEndToEndTest::exchange(const char *button, const QByteArray &request)
{
    rig->clearLine();
    rig->click(button);
    QVERIFY2(rig->waitForReplies(1), button);
    QCOMPARE(rig->lineBytes().toHex(' '), framesOf(request).toHex(' '));
}

void DeviceEndToEndTest::unlock()
{
    control<QLineEdit>("passwordLine")->setText(QStringLiteral("12345678"));
    const TestSupport::ModalBox box =
        TestSupport::closeNextModal([&] { rig->click("buttonFactoryMode"); });
    QCOMPARE(box.text, QStringLiteral("Включен!"));
    QVERIFY(rig->sim().state().adminUnlocked);
}

void DeviceEndToEndTest::setForcedResultCode(int code)
{
    veltra::sim::Faults faults;
    faults.forcedResultCode = code;
    rig->sim().setFaults(faults);
}

void DeviceEndToEndTest::probeTypeWriteThenReadBack()
{
    TestSupport::ModalWatcher boxes;
    auto *kinds = control<QComboBox>("comboGradType");
    auto *types = control<QComboBox>("comboGradName");
    auto *damping = control<QSpinBox>("dempBuffSize");
    auto *compensation = control<QCheckBox>("CompensationCheckBox");
    const auto scramble = [&] {
        kinds->setCurrentIndex(2);
        spin("LowerRange")->setValue(10);
        spin("UpperRange")->setValue(20);
        damping->setValue(0);
        compensation->setChecked(true);
        spin("Hyst")->setValue(0);
    };
    const auto verifyShown = [&] {
        QTRY_COMPARE(spin("Hyst")->value(), 1.5);
        QCOMPARE(kinds->currentIndex(), 4);
        QCOMPARE(types->currentText(), QStringLiteral("ТС-50М 428"));
        QCOMPARE(spin("LowerRange")->minimum(), -180.0);
        QCOMPARE(spin("UpperRange")->maximum(), 200.0);
        QCOMPARE(spin("LowerRange")->value(), -50.5);
        QCOMPARE(spin("UpperRange")->value(), 150.25);
        QCOMPARE(damping->value(), 5);
        QVERIFY(!compensation->isChecked());
    };

    // A four-wire ТС-50М 428, compensation off.
    kinds->setCurrentIndex(4);
    types->setCurrentIndex(types->findText(QStringLiteral("ТС-50М 428")));
    spin("LowerRange")->setValue(-50.5);
    spin("UpperRange")->setValue(150.25);
    damping->setValue(5);
    compensation->setChecked(false);
    spin("Hyst")->setValue(1.5);
    CHECKED(exchange("buttonWriteProbeType",
                     hex("01 01  04 68  00 00 4A C2  00 40 16 43  05  02  00 00 C0 3F")));
    // The reply is delivered after 300 ms of silence; scrambled before that,
    // the controls come back from the answer to the write itself.
    scramble();
    CHECKED(verifyShown());
    const veltra::sim::ProbeSettings stored = rig->sim().state().probe;
    QCOMPARE(int(stored.kind), 4);
    QCOMPARE(int(stored.typeCode), 0x68);
    QCOMPARE(stored.lower, -50.5f);
    QCOMPARE(int(stored.compensation), 2);

    scramble();
    CHECKED(exchange("buttonReadProbeType", hex("00 01")));
    CHECKED(verifyShown());

    // The internal sensor goes out with its fixed code.
    kinds->setCurrentIndex(0);
    spin("LowerRange")->setValue(-10);
    spin("UpperRange")->setValue(50);
    compensation->setChecked(true);
    spin("Hyst")->setValue(0);
    CHECKED(exchange("buttonWriteProbeType",
                     hex("01 01  00 F0  00 00 20 C1  00 00 48 42  05  01  00 00 00 00")));
    QCOMPARE(int(rig->sim().state().probe.typeCode), 0xF0);
    rig->settle();
    QVERIFY(boxes.boxes().isEmpty());
}

void DeviceEndToEndTest::voltageAndUnknownKindAreNeverWritten()
{
    TestSupport::ModalWatcher boxes;
    auto *kinds = control<QComboBox>("comboGradType");
    kinds->setCurrentIndex(1);
    statusLabel()->setText(QStringLiteral("marker"));
    rig->click("buttonWriteProbeType");
    rig->settle();
    QCOMPARE(rig->lineBytes(), QByteArray());
    QCOMPARE(statusLabel()->text(), QStringLiteral("marker"));

    // A device reporting a kind this program does not know leaves no kind
    // selected, and there is nothing to write then either.
    veltra::sim::DeviceState state = rig->sim().state();
    state.probe.kind = 7;
    rig->sim().setState(state);
    CHECKED(exchange("buttonReadProbeType", hex("00 01")));
    QTRY_COMPARE(kinds->currentIndex(), -1);
    QVERIFY(!control<QComboBox>("comboGradName")->isEnabled());
    rig->clearLine();
    statusLabel()->setText(QStringLiteral("marker"));
    rig->click("buttonWriteProbeType");
    rig->settle();
    QCOMPARE(rig->lineBytes(), QByteArray());
    QCOMPARE(statusLabel()->text(), QStringLiteral("marker"));
    QVERIFY(boxes.boxes().isEmpty());
}

void DeviceEndToEndTest::correctionPointsWriteThenReadBack()
{
    TestSupport::ModalWatcher boxes;
    const char *const reference[] = {"refVal", "refVal_2", "refVal_3", "refVal_4", "refVal_5"};
    const char *const measured[] = {"measVal", "measVal_2", "measVal_3", "measVal_4", "measVal_5"};
    const double referenceValues[] = {0, 25.5, 50.25, 75.75, 100.125};
    const double measuredValues[] = {0.5, 25, 49.5, 76, 101.0625};
    auto *correction = control<QCheckBox>("CorrectionCheckBox");
    const auto scramble = [&] {
        for (int i = 0; i < 5; ++i) {
            spin(reference[i])->setValue(-1);
            spin(measured[i])->setValue(-1);
        }
        correction->setChecked(false);
    };
    const auto verifyShown = [&] {
        QTRY_VERIFY(correction->isChecked());
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(spin(reference[i])->value(), referenceValues[i]);
            QCOMPARE(spin(measured[i])->value(), measuredValues[i]);
        }
    };

    for (int i = 0; i < 5; ++i) {
        spin(reference[i])->setValue(referenceValues[i]);
        spin(measured[i])->setValue(measuredValues[i]);
    }
    correction->setChecked(true);
    const char *const points = "00 00 00 00  00 00 CC 41  00 00 49 42  00 80 97 42  00 40 C8 42"
                               "00 00 00 3F  00 00 C8 41  00 00 46 42  00 00 98 42  00 20 CA 42";
    CHECKED(exchange("buttonWriteRefAndMeas", hex("01 04") + hex(points) + hex("01")));
    scramble();
    CHECKED(verifyShown());
    QVERIFY(rig->sim().state().correction.enabled);
    QCOMPARE(rig->sim().state().correction.measured[4], 101.0625f);

    scramble();
    CHECKED(exchange("buttonReadRefAndMeas", hex("00 04")));
    CHECKED(verifyShown());

    // Unchecked goes out as 0 and comes back unchecked.
    correction->setChecked(false);
    CHECKED(exchange("buttonWriteRefAndMeas", hex("01 04") + hex(points) + hex("00")));
    QVERIFY(!rig->sim().state().correction.enabled);
    correction->setChecked(true);
    QTRY_VERIFY(!correction->isChecked());
    QVERIFY(boxes.boxes().isEmpty());
}

void DeviceEndToEndTest::productionDataNeedsTheAdministrator()
{
    auto *date = control<QDateEdit>("CurrentDate");
    auto *number = control<QSpinBox>("Number");
    auto *firmware = control<QLineEdit>("firmwareVersion");
    const auto scramble = [&] {
        date->setDate(QDate(2030, 1, 1));
        number->setValue(0);
        firmware->clear();
    };
    const auto verifyShown = [&] {
        QTRY_COMPARE(firmware->text(), QStringLiteral("1.07"));
        QCOMPARE(date->date(), QDate(2023, 7, 9));
        QCOMPARE(number->value(), 123456);
    };

    date->setDate(QDate(2023, 7, 9));
    number->setValue(123456);
    const QByteArray write = hex("01 03  09 07  07 E7  40 E2 01 00");
    // Locked: the device refuses with code 16 and sends nothing else.
    const TestSupport::ModalBox refused = TestSupport::closeNextModal([&] {
        rig->clearLine();
        rig->click("buttonWriteDeviceInfo");
    });
    QCOMPARE(refused.title, QStringLiteral("Внимание!"));
    QCOMPARE(refused.text, QStringLiteral("Код 16: Доступ запрещен!"));
    QCOMPARE(rig->lineBytes().toHex(' '), framesOf(write).toHex(' '));
    QCOMPARE(rig->sim().state().production.serial, 1);
    QCOMPARE(control<QLabel>("deviceLabel")->text(), QStringLiteral("Прибор не считан"));

    CHECKED(unlock());
    TestSupport::ModalWatcher boxes;
    CHECKED(exchange("buttonWriteDeviceInfo", write));
    scramble();
    CHECKED(verifyShown());
    const veltra::sim::ProductionData stored = rig->sim().state().production;
    QCOMPARE(int(stored.day), 9);
    QCOMPARE(int(stored.month), 7);
    QCOMPARE(int(stored.year), 2023);
    QCOMPARE(stored.serial, 123456);

    scramble();
    CHECKED(exchange("buttonReadDeviceInfo", hex("00 03")));
    CHECKED(verifyShown());
    QVERIFY(boxes.boxes().isEmpty());

    // The window names the device this connection has read, and no other,
    // while the controls keep their values for the next one.
    QCOMPARE(control<QLabel>("deviceLabel")->text(), QStringLiteral("Прибор № 123456"));
    rig->disconnectWindow();
    QCOMPARE(control<QLabel>("deviceLabel")->text(), QStringLiteral("Нет подключения"));
    QVERIFY(rig->connectWindow());
    QCOMPARE(control<QLabel>("deviceLabel")->text(), QStringLiteral("Прибор не считан"));
    QCOMPARE(number->value(), 123456);
}

void DeviceEndToEndTest::unlockAnswersAndTheirBox_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("unlocked");

    QTest::newRow("right password")
        << QStringLiteral("12345678") << hex("02 00 31 32 33 34 35 36 37 38")
        << QStringLiteral("Режим Администратора!") << QStringLiteral("Включен!") << true;
    QTest::newRow("wrong password")
        << QStringLiteral("1234") << hex("02 00 31 32 33 34") << QStringLiteral("Ошибка!")
        << QStringLiteral("Неверный пароль!") << false;
    QTest::newRow("Cyrillic goes out as question marks")
        << QStringLiteral("пароль") << hex("02 00 3F 3F 3F 3F 3F 3F") << QStringLiteral("Ошибка!")
        << QStringLiteral("Неверный пароль!") << false;
    QTest::newRow("empty password: header frame only")
        << QString() << hex("02 00") << QStringLiteral("Ошибка!")
        << QStringLiteral("Неверный пароль!") << false;
}

void DeviceEndToEndTest::unlockAnswersAndTheirBox()
{
    QFETCH(QString, password);
    QFETCH(QByteArray, request);
    control<QLineEdit>("passwordLine")->setText(password);

    // Look at the box itself before closing it: a modal information box of
    // the main window with a single OK button. One timer both looks and
    // closes, so that nothing else can close the box first.
    struct
    {
        bool shown = false;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QWidget *parent = nullptr;
        bool modal = false;
    } seen;
    QTimer inspector;
    inspector.setInterval(10);
    connect(&inspector, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen = {true,          box->windowTitle(),     box->text(),
                    box->icon(),   box->standardButtons(), box->parentWidget(),
                    box->isModal()};
            inspector.stop();
            box->done(QMessageBox::Ok);
        }
    });
    inspector.start();
    rig->clearLine();
    rig->click("buttonFactoryMode");
    QTRY_VERIFY(seen.shown);
    QCOMPARE(rig->lineBytes().toHex(' '), framesOf(request).toHex(' '));
    QTEST(seen.title, "title");
    QTEST(seen.text, "text");
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(seen.parent, static_cast<QWidget *>(&rig->window()));
    QVERIFY(seen.modal);
    QTEST(rig->sim().state().adminUnlocked, "unlocked");
    // The answer enables or disables nothing.
    QVERIFY(control<QPushButton>("buttonWriteDeviceInfo")->isEnabled());
}

void DeviceEndToEndTest::converterConstantsWriteThenReadBack()
{
    CHECKED(unlock());
    TestSupport::ModalWatcher boxes;
    spin("ADC_FSR")->setValue(1.25);
    spin("ADC_OCR")->setValue(-0.5);
    CHECKED(exchange("buttonWriteADC", hex("01 02  00 00 A0 3F  00 00 00 BF")));
    spin("ADC_FSR")->setValue(9);
    spin("ADC_OCR")->setValue(9);
    QTRY_COMPARE(spin("ADC_FSR")->value(), 1.25);
    QCOMPARE(spin("ADC_OCR")->value(), -0.5);
    QCOMPARE(rig->sim().state().adc.fsr, 1.25f);
    QCOMPARE(rig->sim().state().adc.ocr, -0.5f);

    spin("CJ_FSR")->setValue(0.75);
    spin("CJ_OCR")->setValue(0.125);
    CHECKED(exchange("buttonWriteCJ", hex("01 05  00 00 40 3F  00 00 00 3E")));
    spin("CJ_FSR")->setValue(9);
    spin("CJ_OCR")->setValue(9);
    QTRY_COMPARE(spin("CJ_FSR")->value(), 0.75);
    QCOMPARE(spin("CJ_OCR")->value(), 0.125);
    QCOMPARE(rig->sim().state().cj.fsr, 0.75f);
    QCOMPARE(rig->sim().state().cj.ocr, 0.125f);

    for (const char *name : {"ADC_FSR", "ADC_OCR", "CJ_FSR", "CJ_OCR"})
        spin(name)->setValue(9);
    CHECKED(exchange("buttonReadADC", hex("00 02")));
    QTRY_COMPARE(spin("ADC_FSR")->value(), 1.25);
    QCOMPARE(spin("ADC_OCR")->value(), -0.5);
    QCOMPARE(spin("CJ_FSR")->value(), 9.0); // each group lands in its own boxes
    CHECKED(exchange("buttonReadCJ", hex("00 05")));
    QTRY_COMPARE(spin("CJ_FSR")->value(), 0.75);
    QCOMPARE(spin("CJ_OCR")->value(), 0.125);
    QCOMPARE(spin("ADC_FSR")->value(), 1.25);
    QVERIFY(boxes.boxes().isEmpty());
}

void DeviceEndToEndTest::autoCalibrationPointsReachTheADCConstants()
{
    TestSupport::ModalWatcher boxes;
    CHECKED(exchange("buttonFirstPoint", hex("02 01 01")));
    rig->settle();
    CHECKED(exchange("buttonSecondPoint", hex("02 01 02")));
    const veltra::sim::ConverterConstants adc = rig->sim().state().adc;
    QVERIFY(adc.fsr != 1.0f); // the device has calibrated itself
    rig->settle();
    CHECKED(exchange("buttonReadADC", hex("00 02")));
    QTRY_COMPARE(spin("ADC_FSR")->value(), shownWithSixDecimals(adc.fsr));
    QCOMPARE(spin("ADC_OCR")->value(), shownWithSixDecimals(adc.ocr));
    rig->settle();
    // Each point is asked for first, and its outcome told.
    QStringList seen;
    for (const TestSupport::ModalBox &box : boxes.boxes())
        seen << box.title + ": " + box.text;
    const QString question = QStringLiteral(
        "Автокалибровка: %1 точка: Прибор примет сигнал, поданный сейчас на его вход, за %2 "
        "точку калибровки. Продолжить?");
    const QString done = QStringLiteral("Автокалибровка: %1 точка: Прибор выполнил команду.");
    QCOMPARE(seen, QStringList({question.arg("первая", "первую"), done.arg("первая"),
                                question.arg("вторая", "вторую"), done.arg("вторая")}));
}

void DeviceEndToEndTest::fixedCurrentShowsInTheLiveValues()
{
    TestSupport::ModalWatcher boxes;
    spin("LoopCurrent")->setValue(12.5);
    CHECKED(exchange("buttonWriteFixedCurrent", hex("02 04  00 00 48 41")));
    QCOMPARE(rig->sim().state().fixedCurrent, 12.5f);
    rig->settle();

    // The periodic read of the live values puts them into the Data tab boxes.
    // It waits while an answer may still be on its way, so it goes once the
    // write's answer is in (queued after it, on a slow machine).
    QTRY_COMPARE(statusLabel()->text(), QStringLiteral("SUCCESS"));
    rig->clearLine();
    QVERIFY(QMetaObject::invokeMethod(&rig->window(), "runCommandOne", Qt::QueuedConnection));
    QVERIFY(rig->waitForReplies(1, 8000));
    QCOMPARE(rig->lineBytes().toHex(' '), framesOf(hex("00 00")).toHex(' '));
    QTRY_COMPARE(spin("Iout")->value(), 12.5);
    // A three-wire Pt100 near room temperature, correction off.
    QVERIFY2(spin("preValue")->value() > 100, "converter value is the resistance");
    QVERIFY(qAbs(spin("tempADC")->value() - 25) < 4);
    QCOMPARE(spin("correctedValue")->value(), spin("tempADC")->value());
    QVERIFY(qAbs(spin("tempTMP")->value() - 23) < 1);
    rig->settle();
    QVERIFY(boxes.boxes().isEmpty());
}

void DeviceEndToEndTest::eepromSaveClearAndRestore()
{
    // "Нет" sends nothing.
    const TestSupport::ModalBox declined = TestSupport::closeNextModal(
        [&] { rig->click("buttonClearEEPROM"); }, 3000, QMessageBox::No);
    QCOMPARE(declined.text,
             QStringLiteral("Прибор сотрёт все сохранённые в нём настройки. Продолжить?"));
    rig->settle(100);
    QVERIFY(rig->lineBytes().isEmpty());

    TestSupport::ModalWatcher boxes;
    auto *kinds = control<QComboBox>("comboGradType");
    auto *types = control<QComboBox>("comboGradName");
    kinds->setCurrentIndex(2);
    types->setCurrentIndex(types->findText(QStringLiteral("ПП(S)")));
    spin("LowerRange")->setValue(100);
    spin("UpperRange")->setValue(1000);
    CHECKED(exchange("buttonWriteProbeType",
                     hex("01 01  02 8C  00 00 C8 42  00 00 7A 44  00  01  00 00 00 00")));

    CHECKED(exchange("buttonSaveFactorySettings", hex("02 03 01")));
    QCOMPARE(int(rig->sim().state().factory.probe.typeCode), 0x8C);
    rig->settle();

    CHECKED(exchange("buttonClearEEPROM", hex("02 03 02")));
    QCOMPARE(int(rig->sim().state().probe.typeCode), 0x0C);
    rig->settle();
    CHECKED(exchange("buttonReadProbeType", hex("00 01")));
    QTRY_COMPARE(kinds->currentIndex(), 3);
    QCOMPARE(types->currentText(), QStringLiteral("ТС-100П 385"));

    CHECKED(exchange("buttonFactoryResetSettings", hex("02 03 00")));
    QCOMPARE(int(rig->sim().state().probe.typeCode), 0x8C);
    rig->settle();
    CHECKED(exchange("buttonReadProbeType", hex("00 01")));
    QTRY_COMPARE(kinds->currentIndex(), 2);
    QCOMPARE(types->currentText(), QStringLiteral("ПП(S)"));
    QCOMPARE(spin("LowerRange")->value(), 100.0);
    QCOMPARE(spin("UpperRange")->value(), 1000.0);
    rig->settle();
    QStringList titles;
    for (const TestSupport::ModalBox &box : boxes.boxes())
        titles << box.title;
    QCOMPARE(titles,
             QStringList({"Сохранить как заводские настройки", "Сохранить как заводские настройки",
                          "Сбросить настройки", "Сбросить настройки",
                          "Сбросить до заводских настроек", "Сбросить до заводских настроек"}));
}

void DeviceEndToEndTest::errorCodeShowsBoxThenDecodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QString device = QStringLiteral("Внимание!");
    const QString line = QStringLiteral("Ошибка коммуникации!");
    const struct
    {
        int code;
        const char *message;
    } deviceRows[] = {{1, "Неизвестная ошибка!"},
                      {2, "Код выбранной переменной неправильный!"},
                      {3, "Переданный параметр слишком большой!"},
                      {4, "Переданный параметр слишком маленький!"},
                      {5, "Не все байты данных были приняты!"},
                      {6, "Специфичная ошибка!"},
                      {7, "Режим запрета записи!"},
                      {15, "Неизвестная ошибка!"},
                      {16, "Доступ запрещен"},
                      {17, "Неизвестная ошибка!"},
                      {29, "Неверный диапазон!\nВыбранные значения не соответствуют выбраному "
                           "типу чувствительного элемента"},
                      {30, "Неизвестная ошибка!"}};
    for (const auto &row : deviceRows)
        QTest::addRow("%d", row.code)
            << row.code << device
            << QStringLiteral("Код %1: %2!").arg(row.code).arg(QString::fromUtf8(row.message));
    const struct
    {
        int code;
        const char *message;
    } lineRows[] = {{130, "Переданный пакет больше приемного буффера"},
                    {132, "CommunicationFailure"},
                    {136, "CheckByte не совпадает"},
                    {144, "Ошибка фрейма"},
                    {160, "Ошибка перезаписи"},
                    {192, "Ошибка бита четности"},
                    {0x98, "Неизвестная ошибка"}};
    for (const auto &row : lineRows)
        QTest::addRow("%d", row.code)
            << row.code << line
            << QStringLiteral("Код %1: %2!").arg(row.code).arg(QString::fromUtf8(row.message));
}

void DeviceEndToEndTest::errorCodeShowsBoxThenDecodes()
{
    QFETCH(int, code);
    spin("CJ_FSR")->setValue(5);
    spin("CJ_OCR")->setValue(5);
    setForcedResultCode(code);
    const TestSupport::ModalBox box =
        TestSupport::closeNextModal([&] { rig->click("buttonReadCJ"); });
    QVERIFY(box.shown);
    QCOMPARE(box.className, QStringLiteral("QMessageBox"));
    QTEST(box.title, "title");
    QTEST(box.text, "text");
    QCOMPARE(statusLabel()->text(), QStringLiteral("RC"));
    QCOMPARE(statusLabel()->styleSheet(), sheetWith("orange"));
    // The reply carried data, so it is decoded after the box: the device's
    // constants replace the 5s.
    QCOMPARE(spin("CJ_FSR")->value(), 1.0);
    QCOMPARE(spin("CJ_OCR")->value(), 0.0);
}

void DeviceEndToEndTest::successCodesShowNothing_data()
{
    QTest::addColumn<int>("code");
    for (int code : {0, 8, 9, 14})
        QTest::addRow("%d", code) << code;
}

void DeviceEndToEndTest::successCodesShowNothing()
{
    QFETCH(int, code);
    TestSupport::ModalWatcher boxes;
    spin("CJ_FSR")->setValue(5);
    setForcedResultCode(code);
    rig->click("buttonReadCJ");
    QTRY_COMPARE(spin("CJ_FSR")->value(), 1.0);
    QCOMPARE(statusLabel()->text(), QStringLiteral("SUCCESS"));
    QCOMPARE(statusLabel()->styleSheet(), sheetWith("green"));
    // A box would have come before the decoding.
    QVERIFY(boxes.boxes().isEmpty());
}

void DeviceEndToEndTest::statusOnlyErrorReplyIsNotDecoded_data()
{
    QTest::addColumn<int>("forced");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("range refused by the device")
        << 29 << QStringLiteral("Внимание!")
        << QStringLiteral("Код 29: Неверный диапазон!\nВыбранные значения не соответствуют "
                          "выбраному типу чувствительного элемента!");
    QTest::newRow("132 with only the status bytes")
        << 0x84 << QStringLiteral("Ошибка коммуникации!")
        << QStringLiteral("Код 132: CommunicationFailure!");
    QTest::newRow("7 with only the status bytes")
        << 7 << QStringLiteral("Внимание!") << QStringLiteral("Код 7: Режим запрета записи!!");
}

void DeviceEndToEndTest::statusOnlyErrorReplyIsNotDecoded()
{
    QFETCH(int, forced);
    // The device refuses the write and answers with the two status bytes only.
    auto *kinds = control<QComboBox>("comboGradType");
    kinds->setCurrentIndex(3);
    spin("LowerRange")->setValue(10);
    spin("UpperRange")->setValue(50);
    spin("Hyst")->setValue(2);
    setForcedResultCode(forced);
    const TestSupport::ModalBox box = TestSupport::closeNextModal([&] {
        rig->clearLine();
        rig->click("buttonWriteProbeType");
    });
    QVERIFY(box.shown);
    QTEST(box.title, "title");
    QTEST(box.text, "text");
    QCOMPARE(statusLabel()->text(), QStringLiteral("RC"));
    QCOMPARE(statusLabel()->styleSheet(), sheetWith("orange"));
    // Decoding the empty data would have selected TMP123 and zeroed the range.
    QCOMPARE(kinds->currentIndex(), 3);
    QCOMPARE(spin("LowerRange")->value(), 10.0);
    QCOMPARE(spin("UpperRange")->value(), 50.0);
    QCOMPARE(spin("Hyst")->value(), 2.0);
}

void DeviceEndToEndTest::writesOfUnreadValuesAskFirst_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("read");
    QTest::newRow("settings") << "buttonWriteProbeType"
                              << "buttonReadProbeType";
    QTest::newRow("correction points") << "buttonWriteRefAndMeas"
                                       << "buttonReadRefAndMeas";
    QTest::newRow("production data") << "buttonWriteDeviceInfo"
                                     << "buttonReadDeviceInfo";
    QTest::newRow("converter constants") << "buttonWriteADC"
                                         << "buttonReadADC";
    QTest::newRow("cold junction constants") << "buttonWriteCJ"
                                             << "buttonReadCJ";
}

// Right after connecting the controls hold whatever they held: a write asks,
// "Нет" is the default, and "Нет" sends nothing. Once read, a write asks nothing.
void DeviceEndToEndTest::writesOfUnreadValuesAskFirst()
{
    QFETCH(QString, write);
    QFETCH(QString, read);
    QString title, text;
    QTimer::singleShot(300, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    rig->click(write.toLatin1());
    QCOMPARE(title, QStringLiteral("Запись"));
    QCOMPARE(text, QStringLiteral("Значения не считаны с прибора. Записать то, что показано?"));
    rig->settle();
    QVERIFY(rig->sim().requests().empty());

    rig->click(read.toLatin1());
    QVERIFY(rig->waitForReplies(1));
    rig->settle();
    rig->clearLine();
    TestSupport::ModalWatcher watcher; // a refusal of the device's own, if any
    rig->click(write.toLatin1());
    QVERIFY(rig->waitForReplies(1));
    for (const TestSupport::ModalBox &box : watcher.boxes())
        QVERIFY2(box.title != QStringLiteral("Запись"), qPrintable(box.text));
}

void DeviceEndToEndTest::aRangeNotRisingIsNeverWritten()
{
    spin("LowerRange")->setValue(100);
    spin("UpperRange")->setValue(50);
    const TestSupport::ModalBox box =
        TestSupport::closeNextModal([&] { rig->click("buttonWriteProbeType"); });
    QCOMPARE(box.title, QStringLiteral("Запись настроек"));
    QCOMPARE(box.text, QStringLiteral("Нижний предел (100) не меньше верхнего (50). Не записано."));
    rig->settle();
    QVERIFY(rig->sim().requests().empty());
}

QTEST_MAIN(DeviceEndToEndTest)
#include "tst_device_e2e.moc"
