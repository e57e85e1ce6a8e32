#include "catalogue/sensorcatalogue.h"

#include <QtTest>

// The sensor catalogue on its own: the type lists, range limits,
// and the two lookups between a selection and its bytes on the wire.
class CatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void typeListsOfEachKind_data();
    void typeListsOfEachKind();
    void typeTexts_data();
    void typeTexts();
    void rangeLimits_data();
    void rangeLimits();
    void noLimitsPastTheEndOfARow_data();
    void noLimitsPastTheEndOfARow();
    void emptyCatalogueHasNoLimits();
    void encodeSelection_data();
    void encodeSelection();
    void voltageAndNoKindAreNeverEncoded_data();
    void voltageAndNoKindAreNeverEncoded();
    void decodeReceivedCode_data();
    void decodeReceivedCode();
    void everyTypeSurvivesTheRoundTrip();
};

namespace {
const SensorCatalogue catalogue = SensorCatalogue::standard();
}

void CatalogueTest::typeListsOfEachKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::newRow("no kind") << -1 << 0;
    QTest::newRow("TMP123") << 0 << 0;
    QTest::newRow("voltage") << 1 << 0;
    QTest::newRow("thermocouple") << 2 << 7;
    QTest::newRow("3-wire RTD") << 3 << 10;
    QTest::newRow("4-wire RTD") << 4 << 10;
}

void CatalogueTest::typeListsOfEachKind()
{
    QFETCH(int, kind);
    QTEST(int(SensorCatalogue::typeNames(kind).size()), "count");
}

void CatalogueTest::typeTexts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    // Cyrillic letters except the Latin ones inside the parentheses and the "A" of "A-1".
    const char *const thermocouples[] = {"ХК(L)", "ХА(K)", "ЖК(J)", "НН(N)",
                                         "ПП(S)", "A-1",   "ПР(B)"};
    const char *const rtds[] = {"ТС-100П 385", "ТС-50П 385", "ТС-100П 391", "ТС-50П 391",
                                "ТС-100М 428", "ТС-50М 428", "ТС-100М 426", "ТС-50М 426",
                                "ТС-21П 391",  "ТС-23М 426"};
    for (int i = 0; i < 7; ++i)
        QTest::addRow("thermocouple %d", i) << 2 << i << QString::fromUtf8(thermocouples[i]);
    for (int kind : {3, 4}) {
        for (int i = 0; i < 10; ++i)
            QTest::addRow("kind %d, RTD %d", kind, i) << kind << i << QString::fromUtf8(rtds[i]);
    }
}

void CatalogueTest::typeTexts()
{
    QFETCH(int, kind);
    QFETCH(int, position);
    QTEST(SensorCatalogue::typeNames(kind).value(position), "text");
}

void CatalogueTest::rangeLimits_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("position");
    QTest::addColumn<float>("lower");
    QTest::addColumn<float>("upper");
    QTest::newRow("3-wire TS-100P 385") << 3 << 0 << -200.f << 850.f;
    QTest::newRow("4-wire TS-100P 385") << 4 << 0 << -200.f << 850.f;
    QTest::newRow("4-wire TS-100M 428") << 4 << 4 << -180.f << 200.f;
    QTest::newRow("thermocouple K") << 2 << 1 << -270.f << 1372.f;
    QTest::newRow("thermocouple B") << 2 << 6 << 0.f << 1820.f;
    QTest::newRow("TMP123") << 0 << 0 << -60.f << 85.f;
    QTest::newRow("voltage") << 1 << 0 << -60.f << 85.f;
    QTest::newRow("no kind") << -1 << 0 << -60.f << 85.f;
    QTest::newRow("no position means the first RTD") << 3 << -1 << -200.f << 850.f;
    QTest::newRow("no position means the first thermocouple") << 2 << -1 << -200.f << 800.f;
    QTest::newRow("TMP123 without a position") << 0 << -1 << -60.f << 85.f;
}

void CatalogueTest::rangeLimits()
{
    QFETCH(int, kind);
    QFETCH(int, position);
    const std::optional<RangeLimits> limits = catalogue.limits(kind, position);
    QVERIFY(limits);
    QTEST(limits->lower, "lower");
    QTEST(limits->upper, "upper");
}

void CatalogueTest::noLimitsPastTheEndOfARow_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("position");
    QTest::newRow("RTD position 10") << 3 << 10;
    QTest::newRow("thermocouple position 7") << 2 << 7;
    QTest::newRow("TMP123 position 1") << 0 << 1;
    QTest::newRow("voltage position 5") << 1 << 5;
}

void CatalogueTest::noLimitsPastTheEndOfARow()
{
    QFETCH(int, kind);
    QFETCH(int, position);
    QVERIFY(!catalogue.limits(kind, position));
}

void CatalogueTest::emptyCatalogueHasNoLimits()
{
    const SensorCatalogue empty;
    QVERIFY(empty.isEmpty());
    QVERIFY(!empty.limits(0, 0));
    QVERIFY(!empty.limits(3, 0));
    QVERIFY(!catalogue.isEmpty());
}

void CatalogueTest::encodeSelection_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("kindByte");
    QTest::addColumn<int>("code");

    QTest::newRow("TMP123") << 0 << -1 << 0x00 << 0xF0;
    QTest::newRow("TMP123 ignores the position") << 0 << 4 << 0x00 << 0xF0;
    const int thermocouple[] = {0x94, 0x89, 0x88, 0x8A, 0x8C, 0x87, 0x83};
    for (int i = 0; i < 7; ++i)
        QTest::addRow("thermocouple %d", i) << 2 << i << 0x02 << thermocouple[i];
    const int rtd[] = {0x0C, 0x0B, 0x6B, 0x6A, 0x69, 0x68, 0x5C, 0x67, 0xF1, 0xF2};
    for (int kind : {3, 4}) {
        for (int i = 0; i < 10; ++i)
            QTest::addRow("kind %d RTD %d", kind, i) << kind << i << kind << rtd[i];
    }
    QTest::newRow("position missing from the table goes out as itself") << 2 << 9 << 2 << 9;
    QTest::newRow("RTD position 12 goes out as 12") << 4 << 12 << 4 << 12;
    QTest::newRow("no position: low 8 bits of -1") << 3 << -1 << 3 << 0xFF;
}

void CatalogueTest::encodeSelection()
{
    QFETCH(int, kind);
    QFETCH(int, position);
    const std::optional<SensorSelection> selection = catalogue.encode(kind, position);
    QVERIFY(selection);
    QTEST(int(selection->kindByte), "kindByte");
    QTEST(int(selection->code), "code");
}

void CatalogueTest::voltageAndNoKindAreNeverEncoded_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("voltage") << 1;
    QTest::newRow("no kind") << -1;
    QTest::newRow("kind 5") << 5;
}

void CatalogueTest::voltageAndNoKindAreNeverEncoded()
{
    QFETCH(int, kind);
    QVERIFY(!catalogue.encode(kind, 0));
}

void CatalogueTest::decodeReceivedCode_data()
{
    QTest::addColumn<int>("kindByte");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("position");

    QTest::newRow("3-wire 0x0B is TS-50P 385") << 3 << 0x0B << 1;
    QTest::newRow("3-wire 0x5C is TS-100M 426") << 3 << 0x5C << 6;
    QTest::newRow("4-wire 0xF2 is TS-23M 426") << 4 << 0xF2 << 9;
    QTest::newRow("thermocouple 0x94 is L") << 2 << 0x94 << 0;
    QTest::newRow("thermocouple 0x83 is B") << 2 << 0x83 << 6;
    QTest::newRow("RTD code under thermocouple kind is unknown") << 2 << 0x0C << -1;
    QTest::newRow("thermocouple code under RTD kind is unknown") << 3 << 0x94 << -1;
    QTest::newRow("unknown thermocouple code") << 2 << 0x00 << -1;
    QTest::newRow("TMP123 has no list") << 0 << 0xF0 << -1;
    QTest::newRow("voltage has no list") << 1 << 0x0C << -1;
    QTest::newRow("kind bytes above 4 use the RTD table") << 0xFF << 0x0C << 0;
}

void CatalogueTest::decodeReceivedCode()
{
    QFETCH(int, kindByte);
    QFETCH(int, code);
    QTEST(catalogue.decodePosition(quint8(kindByte), quint8(code)), "position");
}

void CatalogueTest::everyTypeSurvivesTheRoundTrip()
{
    for (int kind = 2; kind <= 4; ++kind) {
        const int count = SensorCatalogue::typeNames(kind).size();
        for (int position = 0; position < count; ++position) {
            const std::optional<SensorSelection> selection = catalogue.encode(kind, position);
            QVERIFY(selection);
            QCOMPARE(int(selection->kindByte), kind);
            QCOMPARE(catalogue.decodePosition(selection->kindByte, selection->code), position);
        }
    }
}

QTEST_APPLESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
