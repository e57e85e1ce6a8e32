#include "testlog/csvformat.h"

#include <QDateTime>
#include <QLocale>
#include <QTest>
#include <cmath>
#include <limits>

class CsvFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void fileNameIsTheStartTimeWithTwoDigitFields_data();
    void fileNameIsTheStartTimeWithTwoDigitFields();
    void copiesOfOneNameGetANumberBeforeTheExtension_data();
    void copiesOfOneNameGetANumberBeforeTheExtension();
    void headerIsSixFieldsInUtf8WithoutByteOrderMark();
    void timeIsDayMonthFourDigitYearAnd24HourClock_data();
    void timeIsDayMonthFourDigitYearAnd24HourClock();
    void valuesHaveExactlyThreeDecimals_data();
    void valuesHaveExactlyThreeDecimals();
    void signedValuesHaveASignOnlyWhenTheyShowOne();
    void rowIsTheTimeThenFiveValuesInReplyOrder();
    void shortValueListsArePaddedWithZeros();
    void lineJoinsWithSemicolonsAndEndsWithOneLineFeed();
    void systemLocaleChangesNothing_data();
    void systemLocaleChangesNothing();
};

namespace {
QDateTime at(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}
} // namespace

void CsvFormatTest::fileNameIsTheStartTimeWithTwoDigitFields_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QString>("name");
    QTest::newRow("afternoon") << at(2026, 12, 6, 14, 5, 9) << "06.12.26 14.05.09.csv";
    QTest::newRow("midnight") << at(2027, 1, 1, 0, 0, 0) << "01.01.27 00.00.00.csv";
    QTest::newRow("last second of a day")
        << at(2030, 10, 31, 23, 59, 59) << "31.10.30 23.59.59.csv";
}

void CsvFormatTest::fileNameIsTheStartTimeWithTwoDigitFields()
{
    QFETCH(QDateTime, start);
    QFETCH(QString, name);
    QCOMPARE(CsvFormat::fileName(start), name);
}

void CsvFormatTest::copiesOfOneNameGetANumberBeforeTheExtension_data()
{
    QTest::addColumn<int>("copy");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 1 << "06.12.26 14.05.09.csv";
    QTest::newRow("second") << 2 << "06.12.26 14.05.09 (2).csv";
    QTest::newRow("tenth") << 10 << "06.12.26 14.05.09 (10).csv";
}

void CsvFormatTest::copiesOfOneNameGetANumberBeforeTheExtension()
{
    QFETCH(int, copy);
    QFETCH(QString, name);
    QCOMPARE(CsvFormat::fileName(at(2026, 12, 6, 14, 5, 9), copy), name);
}

void CsvFormatTest::headerIsSixFieldsInUtf8WithoutByteOrderMark()
{
    const QByteArray header = CsvFormat::line(CsvFormat::headerFields());
    const QByteArray expected =
        QByteArray("Время;Значение преобразователя;Корректированное значение;"
                   "Измеренное значение;Температура ХС;Ток\n");
    QCOMPARE(header, expected);
    QVERIFY(!header.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(CsvFormat::headerFields().size(), CsvFormat::FieldCount);
}

void CsvFormatTest::timeIsDayMonthFourDigitYearAnd24HourClock_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("afternoon") << at(2026, 12, 6, 14, 5, 9) << "06.12.2026 14:05:09";
    QTest::newRow("midnight") << at(2027, 1, 1, 0, 0, 0) << "01.01.2027 00:00:00";
    QTest::newRow("evening") << at(2026, 3, 9, 21, 30, 7) << "09.03.2026 21:30:07";
}

void CsvFormatTest::timeIsDayMonthFourDigitYearAnd24HourClock()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QCOMPARE(CsvFormat::timeText(time), text);
}

void CsvFormatTest::valuesHaveExactlyThreeDecimals_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("half") << 23.5 << "23.500";
    QTest::newRow("small negative") << -0.05 << "-0.050";
    QTest::newRow("negative from a float") << double(-0.05f) << "-0.050";
    QTest::newRow("current from a float") << double(12.345678f) << "12.346";
    QTest::newRow("zero") << 0.0 << "0.000";
    QTest::newRow("negative zero") << -0.0 << "0.000";
    QTest::newRow("tiny negative rounds to unsigned zero") << -0.0004 << "0.000";
    QTest::newRow("tiny positive") << 0.0004 << "0.000";
    QTest::newRow("negative just past rounding") << -0.0006 << "-0.001";
    QTest::newRow("large, no grouping") << 1234567.25 << "1234567.250";
    QTest::newRow("no exponent") << 1e15 << "1000000000000000.000";
    QTest::newRow("below minus one") << -273.15 << "-273.150";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "nan";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "inf";
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "-inf";
}

void CsvFormatTest::valuesHaveExactlyThreeDecimals()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(CsvFormat::valueText(value), text);
}

// Deviations: a sign when there is one to show, none on what shows as zero.
void CsvFormatTest::signedValuesHaveASignOnlyWhenTheyShowOne()
{
    QCOMPARE(CsvFormat::signedValueText(0.012), QStringLiteral("+0.012"));
    QCOMPARE(CsvFormat::signedValueText(-0.25), QStringLiteral("-0.250"));
    QCOMPARE(CsvFormat::signedValueText(0.0004), QStringLiteral("0.000"));
    QCOMPARE(CsvFormat::signedValueText(-0.0004), QStringLiteral("0.000"));
}

void CsvFormatTest::rowIsTheTimeThenFiveValuesInReplyOrder()
{
    const QStringList fields =
        CsvFormat::rowFields(at(2026, 12, 6, 14, 5, 11), {1.0, -0.05, 23.5, 21.25, 12.0});
    QCOMPARE(fields,
             (QStringList{"06.12.2026 14:05:11", "1.000", "-0.050", "23.500", "21.250", "12.000"}));
}

void CsvFormatTest::shortValueListsArePaddedWithZeros()
{
    const QStringList fields = CsvFormat::rowFields(at(2026, 12, 6, 14, 5, 11), {7.0, 8.0});
    QCOMPARE(fields,
             (QStringList{"06.12.2026 14:05:11", "7.000", "8.000", "0.000", "0.000", "0.000"}));
    QCOMPARE(CsvFormat::rowFields(QDateTime::currentDateTime(), {1, 2, 3, 4, 5, 6, 7}).size(),
             CsvFormat::FieldCount);
}

void CsvFormatTest::lineJoinsWithSemicolonsAndEndsWithOneLineFeed()
{
    const QByteArray bytes = CsvFormat::line({"06.12.2026 14:05:11", "1.000", "-0.050"});
    QCOMPARE(bytes, QByteArray("06.12.2026 14:05:11;1.000;-0.050\n"));
    QVERIFY(!bytes.contains('\r'));
    QVERIFY(!bytes.contains('"'));
}

void CsvFormatTest::systemLocaleChangesNothing_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("German") << "de_DE";
    QTest::newRow("Russian") << "ru_RU";
    QTest::newRow("French") << "fr_FR";
    QTest::newRow("Arabic digits") << "ar_EG";
    QTest::newRow("Persian digits") << "fa_IR";
}

void CsvFormatTest::systemLocaleChangesNothing()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    // The locale does make a difference to locale-aware formatting.
    QVERIFY(QLocale().toString(1234.5, 'f', 3) != QLatin1String("1234.500"));

    const QDateTime time = at(2026, 12, 6, 14, 5, 9);
    QCOMPARE(CsvFormat::valueText(-1234.5), QStringLiteral("-1234.500"));
    QCOMPARE(CsvFormat::valueText(-0.05), QStringLiteral("-0.050"));
    QCOMPARE(CsvFormat::timeText(time), QStringLiteral("06.12.2026 14:05:09"));
    QCOMPARE(CsvFormat::fileName(time, 2), QStringLiteral("06.12.26 14.05.09 (2).csv"));
    QCOMPARE(CsvFormat::line(CsvFormat::rowFields(time, {1.25, 2, 3, 4, 5})),
             QByteArray("06.12.2026 14:05:09;1.250;2.000;3.000;4.000;5.000\n"));
}

QTEST_GUILESS_MAIN(CsvFormatTest)
#include "tst_csvformat.moc"
