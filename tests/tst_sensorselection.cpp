#include "app/mainwindow.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// The two sensor lists of the settings tab, driven offscreen without a
// device: the kind fills the type list, the type sets the bounds of both range
// boxes, and a received ProbeType reply selects kind and type in that order.
class SensorSelectionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsOnTmp123WithTheFormsBounds();
    void choosingAKindFillsTheListAndSetsBounds_data();
    void choosingAKindFillsTheListAndSetsBounds();
    void betweenTmp123AndVoltageNothingFires();
    void choosingATypeSetsBounds_data();
    void choosingATypeSetsBounds();
    void valuesOutsideNewBoundsArePulledIn_data();
    void valuesOutsideNewBoundsArePulledIn();

    void receivedSelection_data();
    void receivedSelection();
    void receivedRangeIsSetAfterTheTypesBounds();
    void receivedTwelveBytesLeaveHysteresisAlone();

private:
    QComboBox *kinds() const { return window->findChild<QComboBox *>("comboGradType"); }
    QComboBox *types() const { return window->findChild<QComboBox *>("comboGradName"); }
    QDoubleSpinBox *box(const char *name) const
    {
        return window->findChild<QDoubleSpinBox *>(QLatin1String(name));
    }
    void chooseType(const QString &text);
    void verifyBounds(double lower, double upper);
    void deliver(const QByteArray &reply);

    std::unique_ptr<MainWindow> window;
};

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
} // namespace

void SensorSelectionTest::initTestCase()
{
    TestSupport::watchWarnings();
}

void SensorSelectionTest::init()
{
    window = std::make_unique<MainWindow>();
    QVERIFY(kinds() && types() && box("LowerRange") && box("UpperRange"));
}

void SensorSelectionTest::cleanup()
{
    window.reset();
    QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
}

void SensorSelectionTest::chooseType(const QString &text)
{
    const int position = types()->findText(text);
    QVERIFY2(position >= 0, qPrintable(text));
    types()->setCurrentIndex(position);
}

void SensorSelectionTest::verifyBounds(double lower, double upper)
{
    QCOMPARE(box("LowerRange")->minimum(), lower);
    QCOMPARE(box("LowerRange")->maximum(), upper);
    QCOMPARE(box("UpperRange")->minimum(), lower);
    QCOMPARE(box("UpperRange")->maximum(), upper);
}

void SensorSelectionTest::deliver(const QByteArray &reply)
{
    QVERIFY(QMetaObject::invokeMethod(window.get(), "commandProcessing", Qt::DirectConnection,
                                      Q_ARG(QByteArray, reply)));
}

void SensorSelectionTest::startsOnTmp123WithTheFormsBounds()
{
    QCOMPARE(kinds()->currentIndex(), 0);
    QCOMPARE(types()->count(), 0);
    QVERIFY(!types()->isEnabled());
    // No type change fires at start, so the form's own bounds stay.
    QCOMPARE(box("LowerRange")->minimum(), -280.0);
    QCOMPARE(box("LowerRange")->maximum(), 1810.0);
    QCOMPARE(box("UpperRange")->minimum(), -280.0);
    QCOMPARE(box("UpperRange")->maximum(), 2550.0);
}

void SensorSelectionTest::choosingAKindFillsTheListAndSetsBounds_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");

    QTest::newRow("thermocouple") << 0 << 2 << 7 << QStringLiteral("ХК(L)") << -200.0 << 800.0;
    QTest::newRow("3-wire RTD") << 0 << 3 << 10 << QStringLiteral("ТС-100П 385") << -200.0 << 850.0;
    QTest::newRow("4-wire RTD") << 0 << 4 << 10 << QStringLiteral("ТС-100П 385") << -200.0 << 850.0;
    QTest::newRow("RTD to thermocouple")
        << 3 << 2 << 7 << QStringLiteral("ХК(L)") << -200.0 << 800.0;
    QTest::newRow("thermocouple to TMP123") << 2 << 0 << 0 << QString() << -60.0 << 85.0;
    QTest::newRow("RTD to voltage") << 4 << 1 << 0 << QString() << -60.0 << 85.0;
    QTest::newRow("RTD to no kind") << 3 << -1 << 0 << QString() << -60.0 << 85.0;
}

void SensorSelectionTest::choosingAKindFillsTheListAndSetsBounds()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, count);
    QFETCH(QString, selected);
    kinds()->setCurrentIndex(from);
    // Start from bounds no kind has, so that stale bounds show up.
    box("LowerRange")->setRange(-999, 9999);
    box("UpperRange")->setRange(-999, 9999);
    kinds()->setCurrentIndex(to);

    QCOMPARE(types()->count(), count);
    QCOMPARE(types()->isEnabled(), count > 0);
    QCOMPARE(types()->currentText(), selected);
    QCOMPARE(types()->currentIndex(), count > 0 ? 0 : -1);
    QFETCH(double, lower);
    QFETCH(double, upper);
    verifyBounds(lower, upper);
}

void SensorSelectionTest::betweenTmp123AndVoltageNothingFires()
{
    kinds()->setCurrentIndex(2);
    kinds()->setCurrentIndex(0);
    verifyBounds(-60, 85);
    QSignalSpy typeChanges(types(), SIGNAL(currentIndexChanged(int)));
    box("LowerRange")->setRange(-1, 1);
    kinds()->setCurrentIndex(1);
    QCOMPARE(typeChanges.count(), 0);
    QCOMPARE(box("LowerRange")->minimum(), -1.0);
    QVERIFY(!types()->isEnabled());
}

void SensorSelectionTest::choosingATypeSetsBounds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("type");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");

    QTest::newRow("ТС-100М 426") << 3 << QStringLiteral("ТС-100М 426") << -50.0 << 200.0;
    QTest::newRow("ТС-21П 391") << 3 << QStringLiteral("ТС-21П 391") << -200.0 << 650.0;
    QTest::newRow("ТС-23М 426") << 4 << QStringLiteral("ТС-23М 426") << -50.0 << 180.0;
    QTest::newRow("A-1") << 2 << QStringLiteral("A-1") << 0.0 << 2500.0;
}

void SensorSelectionTest::choosingATypeSetsBounds()
{
    QFETCH(int, kind);
    QFETCH(QString, type);
    kinds()->setCurrentIndex(kind);
    chooseType(type);
    QFETCH(double, lower);
    QFETCH(double, upper);
    verifyBounds(lower, upper);
}

void SensorSelectionTest::valuesOutsideNewBoundsArePulledIn_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("lowerValue");
    QTest::addColumn<double>("upperValue");
    QTest::addColumn<QString>("type");
    QTest::addColumn<double>("lowerAfter");
    QTest::addColumn<double>("upperAfter");

    QTest::newRow("500 to ТС-50М 428 becomes its maximum")
        << 3 << 500.0 << 600.0 << QStringLiteral("ТС-50М 428") << 200.0 << 200.0;
    QTest::newRow("-190 to ТС-100М 426 becomes its minimum")
        << 4 << -190.0 << 100.0 << QStringLiteral("ТС-100М 426") << -50.0 << 100.0;
    QTest::newRow("values inside stay")
        << 2 << 10.0 << 700.0 << QStringLiteral("ЖК(J)") << 10.0 << 700.0;
}

void SensorSelectionTest::valuesOutsideNewBoundsArePulledIn()
{
    QFETCH(int, kind);
    QFETCH(double, lowerValue);
    QFETCH(double, upperValue);
    QFETCH(QString, type);
    kinds()->setCurrentIndex(kind);
    box("LowerRange")->setValue(lowerValue);
    box("UpperRange")->setValue(upperValue);
    QCOMPARE(box("LowerRange")->value(), lowerValue);
    chooseType(type);
    QTEST(box("LowerRange")->value(), "lowerAfter");
    QTEST(box("UpperRange")->value(), "upperAfter");
}

void SensorSelectionTest::receivedSelection_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("typeBefore");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("listEnabled");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");

    // ProbeType replies: 00 01 10 00 00, then kind, code, lower 0, upper 100, damping,
    // compensation.
    const char *const tail = "00 00 00 00  00 00 C8 42  00 01";
    QTest::newRow("3-wire, 0x5C selects ТС-100М 426")
        << 0 << -1 << hex("00 01 10 00 00 03 5C") + hex(tail) << 3 << 6 << true << -50.0 << 200.0;
    QTest::newRow("3-wire, 0x0B selects ТС-50П 385")
        << 2 << 3 << hex("00 01 10 00 00 03 0B") + hex(tail) << 3 << 1 << true << -200.0 << 850.0;
    QTest::newRow("thermocouple, 0x94 selects ХК(L)")
        << 3 << 4 << hex("00 01 10 00 00 02 94") + hex(tail) << 2 << 0 << true << -200.0 << 800.0;
    QTest::newRow("new kind, unknown code: first type of the kind")
        << 4 << 5 << hex("00 01 10 00 00 02 0C") + hex(tail) << 2 << 0 << true << -200.0 << 800.0;
    QTest::newRow("same kind, unknown code: the selection stays")
        << 2 << 5 << hex("00 01 10 00 00 02 00") + hex(tail) << 2 << 5 << true << 0.0 << 2500.0;
    QTest::newRow("TMP123 ignores the code")
        << 3 << 2 << hex("00 01 10 00 00 00 0C") + hex(tail) << 0 << -1 << false << -60.0 << 85.0;
    QTest::newRow("voltage can be shown")
        << 2 << 0 << hex("00 01 10 00 00 01 F0") + hex(tail) << 1 << -1 << false << -60.0 << 85.0;
    QTest::newRow("unknown kind leaves no kind selected")
        << 3 << 0 << hex("00 01 10 00 00 07 0C") + hex(tail) << -1 << -1 << false << -60.0 << 85.0;
    QTest::newRow("kind 0xFF is read signed")
        << 2 << 0 << hex("00 01 10 00 00 FF 94") + hex(tail) << -1 << -1 << false << -60.0 << 85.0;
    QTest::newRow("a write is answered like a read")
        << 0 << -1 << hex("01 01 10 00 00 04 68") + hex(tail) << 4 << 5 << true << -180.0 << 200.0;
    QTest::newRow("success code 9 decodes normally")
        << 0 << -1 << hex("00 01 10 09 00 04 F1") + hex(tail) << 4 << 8 << true << -200.0 << 650.0;
    QTest::newRow("no data: kind 0")
        << 3 << 0 << hex("00 01 02 00 00") << 0 << -1 << false << -60.0 << 85.0;
}

void SensorSelectionTest::receivedSelection()
{
    QFETCH(int, before);
    QFETCH(int, typeBefore);
    QFETCH(QByteArray, reply);
    kinds()->setCurrentIndex(before);
    if (typeBefore >= 0)
        types()->setCurrentIndex(typeBefore);

    deliver(reply);

    QTEST(kinds()->currentIndex(), "kind");
    QTEST(types()->currentIndex(), "type");
    QTEST(types()->isEnabled(), "listEnabled");
    QFETCH(double, lower);
    QFETCH(double, upper);
    verifyBounds(lower, upper);
}

void SensorSelectionTest::receivedRangeIsSetAfterTheTypesBounds()
{
    // A change to thermocouples first brings the bounds of ХК(L), -200..800;
    // an upper value of 2000 only fits once the limits of A-1 are in force.
    kinds()->setCurrentIndex(3);
    box("Hyst")->setValue(1);
    deliver(hex("00 01 10 00 00  02 87  00 00 00 00  00 00 FA 44  07  02  00 00 C0 3F"));
    QCOMPARE(types()->currentText(), QStringLiteral("A-1"));
    QCOMPARE(box("LowerRange")->value(), 0.0);
    QCOMPARE(box("UpperRange")->value(), 2000.0);
    QCOMPARE(window->findChild<QSpinBox *>("dempBuffSize")->value(), 7);
    QVERIFY(!window->findChild<QCheckBox *>("CompensationCheckBox")->isChecked());
    QCOMPARE(box("Hyst")->value(), 1.5);
}

void SensorSelectionTest::receivedTwelveBytesLeaveHysteresisAlone()
{
    box("Hyst")->setValue(2.5);
    auto *compensation = window->findChild<QCheckBox *>("CompensationCheckBox");
    compensation->setChecked(false);
    deliver(hex("00 01 0E 00 00  02 8C  00 00 00 00  00 00 C8 42  03  01"));
    QCOMPARE(box("Hyst")->value(), 2.5);
    QCOMPARE(types()->currentText(), QStringLiteral("ПП(S)"));
    QCOMPARE(box("UpperRange")->value(), 100.0);
    QVERIFY(compensation->isChecked());
}

QTEST_MAIN(SensorSelectionTest)
#include "tst_sensorselection.moc"
