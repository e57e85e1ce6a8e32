#include "calibration/calibrationsettings.h"
#include "calibration/certificate.h"
#include "calibration/certificatedialog.h"
#include "calibration/certificatenumbers.h"
#include "support/testsupport.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

using TestSupport::pdfText;

// The calibration certificate, its numbers, its remembered settings and its dialog.
class CertificateTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QDir::setCurrent(work.path()); }
    void textOfCertificate();
    void verdicts_data();
    void verdicts();
    void numbersContinueAndNeverRepeat();
    void garbageCounterRefuses();
    void settingsKeepCyrillic();
    void dialogRefusesPastDueDate();
    void dialogWritesCertificate();

private:
    QTemporaryDir work;
};

namespace {

const QDate Today(2026, 12, 9);

CertificateData sample()
{
    CertificateData data;
    data.made = QDateTime(Today, QTime(15, 30));
    data.program = "Конфигуратор Veltra 1.2";
    data.productLine = CalibrationSettings::DefaultProductLine;
    data.device.identity = DeviceIdentity{1042, "1.07", "15.03.2024"};
    data.operatorName = "Иванов И. И.";
    data.instruments = {{"Калибратор КТ-1", "123", QDate(2027, 12, 1)},
                        {"Миллиамперметр М-2", "45-678", QDate(2027, 6, 30)}};
    data.ambient = 21.5;
    CorrectionResult correction;
    const QList<double> references{-50, 0, 50, 100, 150};
    for (double reference : references)
        correction.points << CorrectionPointResult{reference, reference - 0.42, reference + 0.18,
                                                   reference - 0.04};
    correction.verified = true;
    data.correction = correction;
    LoopTestResult loop;
    for (double ma : {4.0, 8.0, 12.0, 16.0, 20.0})
        loop.points << LoopPointResult{ma, ma + 0.008};
    loop.released = true;
    data.loop = loop;
    return data;
}

} // namespace

void CertificateTest::initTestCase()
{
    QVERIFY(work.isValid());
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is needed to read the certificates");
}

void CertificateTest::textOfCertificate()
{
    CertificateData data = sample();
    data.number = "2026-000123";
    QString error;
    const QString path = Certificate::write(data, "reports", &error);
    QCOMPARE(QFileInfo(path).fileName(), QString("Протокол калибровки 2026-000123.pdf"));
    const QString text = pdfText(path).simplified();
    for (const char *expected :
         {"Протокол калибровки № 2026-000123", "09.12.2026", "Конфигуратор Veltra 1.2",
          "Заводской номер 1042", "Версия ПО 1.07", "Калибратор КТ-1 123 01.12.2027",
          "Миллиамперметр М-2 45-678 30.06.2027", "21.5 °C",
          "1 -50.000 -50.420 -49.820 +0.180 * -50.040 -0.040",
          "Как найдено: вне допуска; как оставлено: в допуске", "5 20.000 20.008 +0.050",
          "выход возвращён к измерению", "Заключение: Годен", "Выполнил Иванов И. И.", "Проверил",
          "стр. 1 из 2"})
        QVERIFY2(text.contains(expected), qPrintable(expected + (" not in: " + text)));
    // The page of signatures names its certificate too.
    QCOMPARE(text.count("протокол № 2026-000123 создан"), 2);
    // The same number again (never from the counter): beside it, never over it.
    QVERIFY(Certificate::write(data, "reports", &error).endsWith("2026-000123 (2).pdf"));
}

void CertificateTest::verdicts_data()
{
    QTest::addColumn<int>("correction"); // 0 none, 1 passed, 2 as left out, 3 not verified
    QTest::addColumn<int>("loop");       // 0 none, 1 passed, 2 out, 3 a step not measured
    QTest::addColumn<QString>("verdict");
    QTest::newRow("both passed") << 1 << 1 << "Годен";
    QTest::newRow("as left out") << 2 << 1 << "Не годен: погрешность после калибровки вне допуска";
    QTest::newRow("not verified") << 3 << 0 << "Не годен: точки коррекции не подтверждены";
    QTest::newRow("loop out") << 1 << 2 << "Не годен: отклонение выходного тока вне допуска";
    QTest::newRow("no loop") << 1 << 0 << "Не определён: не проведена проверка токовой петли";
    QTest::newRow("no correction") << 0 << 1 << "Не определён: не проведена калибровка входа";
    QTest::newRow("nothing") << 0 << 0
                             << "Не определён: не проведены калибровка входа и проверка токовой";
    QTest::newRow("loop unfinished") << 1 << 3 << "Не определён: не завершена проверка токовой";
}

void CertificateTest::verdicts()
{
    QFETCH(int, correction);
    QFETCH(int, loop);
    QFETCH(QString, verdict);
    CertificateData data = sample();
    if (correction == 0)
        data.correction.reset();
    else if (correction == 2)
        data.correction->points[2].asLeft = 50.2;
    data.correction && (data.correction->verified = correction != 3);
    if (loop == 0)
        data.loop.reset();
    else if (loop == 2)
        data.loop->points[1].meterMa = 8.05;
    else if (loop == 3)
        data.loop->points[4].meterMa.reset();
    CertificateNumbers numbers("verdicts.counter");
    QString error;
    const QString path = writeCertificate(data, "reports", numbers, &error);
    QVERIFY2(!path.isEmpty(), qPrintable(error));
    const QString text = pdfText(path).simplified();
    QVERIFY2(text.contains("Заключение: " + verdict), qPrintable(text));
    QCOMPARE(text.contains("Не проводилась."), correction == 0 || loop == 0);
}

void CertificateTest::numbersContinueAndNeverRepeat()
{
    const QString file = work.filePath("numbers.counter");
    QString error;
    QCOMPARE(CertificateNumbers(file).next(Today, &error), QString("2026-000001"));
    QCOMPARE(CertificateNumbers(file).next(Today, &error), QString("2026-000002"));
    // A new year goes on with the sequence.
    QCOMPARE(CertificateNumbers(file).next(QDate(2027, 1, 2), &error), QString("2027-000003"));
    QStringList issued[2];
    const auto take = [&](QStringList *into) {
        CertificateNumbers numbers(file);
        for (int i = 0; i < 40; ++i)
            into->append(numbers.next(Today, nullptr).value_or("refused"));
    };
    std::thread first(take, &issued[0]);
    std::thread second(take, &issued[1]);
    first.join();
    second.join();
    const QStringList all = issued[0] + issued[1];
    QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), 80);
    QVERIFY(!all.contains("refused"));
    QCOMPARE(CertificateNumbers(file).next(Today, &error), QString("2026-000084"));
}

void CertificateTest::garbageCounterRefuses()
{
    QFile garbage("garbage.counter");
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray("2026-0001\0\x17", 11));
    garbage.close();
    CertificateNumbers numbers("garbage.counter");
    QString error;
    QVERIFY(!numbers.next(Today, &error));
    QVERIFY2(error.contains("Счётчик номеров протоколов испорчен"), qPrintable(error));
    // No number, no certificate.
    const QString path = writeCertificate(sample(), "garbage", numbers, &error);
    QVERIFY(path.isEmpty() && !QDir("garbage").exists());
    QVERIFY2(error.startsWith("Номер протокола не выдан"), qPrintable(error));
    QCOMPARE(QFileInfo("garbage.counter").size(), 11);
}

void CertificateTest::settingsKeepCyrillic()
{
    CalibrationSettings settings("cyrillic.ini");
    QVERIFY(settings.load());
    QCOMPARE(settings.correctionTolerance, 0.1);
    QCOMPARE(settings.stabilityCount, 10);
    settings.operatorName = "Петрова А. С.";
    settings.productLine = "Преобразователь «Тест», ООО «Ромашка»";
    settings.instruments = sample().instruments;
    settings.stabilitySpread = 0.02;
    QVERIFY(settings.save());
    CalibrationSettings again("cyrillic.ini");
    QVERIFY(again.load());
    QCOMPARE(again.operatorName, settings.operatorName);
    QCOMPARE(again.productLine, settings.productLine);
    QCOMPARE(again.instruments.size(), 2);
    QCOMPARE(again.instruments[1].name, QString("Миллиамперметр М-2"));
    QCOMPARE(again.instruments[1].dueDate, QDate(2027, 6, 30));
    QCOMPARE(again.stabilitySpread, 0.02);
    // UTF-8 a person can read, not escapes.
    QFile file("cyrillic.ini");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(QString("Петрова А. С.").toUtf8()));
}

void CertificateTest::dialogRefusesPastDueDate()
{
    CalibrationSettings settings("refuse.ini");
    settings.operatorName = "Иванов И. И.";
    settings.instruments = {{"Калибратор КТ-1", "123", QDate(2020, 12, 1)}};
    CertificateDialog dialog(sample(), settings);
    dialog.findChild<QDoubleSpinBox *>("certificateAmbient")->setValue(21.5);
    const TestSupport::ModalBox box = TestSupport::closeNextModal(
        [&] { dialog.findChild<QPushButton *>("certificateCreate")->click(); });
    QCOMPARE(box.title, QString("Протокол калибровки"));
    QCOMPARE(box.text, QString("Срок поверки эталона «Калибратор КТ-1» № 123 истёк 01.12.2020. "
                               "Протокол не создан."));
    QCOMPARE(dialog.findChild<QLabel *>("certificateOutcome")->text(), box.text);
    QVERIFY(!QFile::exists("refuse.ini") && !QFile::exists(CertificateNumbers::DefaultPath));
}

void CertificateTest::dialogWritesCertificate()
{
    CalibrationSettings settings("dialog.ini");
    CertificateDialog dialog(sample(), settings);
    QCOMPARE(dialog.windowTitle(), QString("Протокол калибровки"));
    dialog.findChild<QLineEdit *>("certificateOperator")->setText("Сидоров П. П.");
    dialog.findChild<QDoubleSpinBox *>("certificateAmbient")->setValue(22.0);
    auto *table = dialog.findChild<QTableWidget *>("certificateInstruments");
    dialog.findChild<QPushButton *>("certificateAddInstrument")->click();
    const QStringList cells{"Термометр ЭТС-100", "7", "31.12.2030"};
    for (int column = 0; column < 3; ++column)
        table->setItem(0, column, new QTableWidgetItem(cells[column]));
    dialog.findChild<QPushButton *>("certificateCreate")->click();
    const QString outcome = dialog.findChild<QLabel *>("certificateOutcome")->text();
    QVERIFY2(outcome.startsWith("Протокол создан:") && QFile::exists(dialog.writtenPath()),
             qPrintable(outcome));
    QVERIFY(dialog.writtenPath().startsWith("reports/Протокол калибровки "));
    QVERIFY(!dialog.findChild<QPushButton *>("certificateCreate")->isEnabled());
    const QString text = pdfText(dialog.writtenPath()).simplified();
    QVERIFY2(text.contains("Термометр ЭТС-100 7 31.12.2030") && text.contains("22.0 °C"),
             qPrintable(text));
    CalibrationSettings remembered("dialog.ini");
    QVERIFY(remembered.load());
    QCOMPARE(remembered.operatorName, QString("Сидоров П. П."));
    QCOMPARE(remembered.instruments.value(0).serialNumber, QString("7"));
}

QTEST_MAIN(CertificateTest)
#include "tst_certificate.moc"
