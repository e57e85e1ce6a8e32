#include "debug/debugwindow.h"
#include "device/devicewords.h"
#include "support/simwindow.h"
#include "support/testsupport.h"
#include "writelog/writejournal.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::SimWindow;

// The journal of writes against the simulator: every write and action of a
// session, from the buttons, write-and-verify and the manual packet window, in
// the file of the device it went to, two lines a request, appended across
// connections.
class WriteJournalTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> workDir;
    std::unique_ptr<SimWindow> rig;
    QString port;

    void clickAndWait(const char *button)
    {
        const size_t replies = rig->sim().repliesSent() + 1;
        rig->click(button);
        QVERIFY2(rig->waitForReplies(replies), button);
        rig->settle();
    }

    // The file's lines, each with its time checked and left out.
    static QStringList linesOf(const QString &name)
    {
        QFile file(QStringLiteral("journal/") + name);
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("no file")};
        const QByteArray bytes = file.readAll();
        if (!bytes.startsWith("\xEF\xBB\xBF") || !bytes.endsWith("\r\n"))
            return {QStringLiteral("no byte-order mark or no line end")};
        QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
        lines.removeLast();
        const QRegularExpression time(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} "
                                                     "\\d\\d:\\d\\d:\\d\\d\\.\\d{3};"));
        for (int i = 1; i < lines.size(); ++i) {
            if (!time.match(lines[i]).hasMatch())
                return {QStringLiteral("a line without its time: ") + lines[i]};
            lines[i] = lines[i].section(QLatin1Char(';'), 1);
        }
        return lines;
    }

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }

    void init()
    {
        workDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(workDir->path()));
        rig = std::make_unique<SimWindow>();
        QVERIFY(rig->connectWindow());
        port = QString::fromStdString(rig->sim().devicePath());
        QVERIFY(rig->window().loadConfigFile(VELTRA_DOCS_DIR "/example-config.json"));
    }

    void cleanup()
    {
        rig.reset();
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    void aSessionAppendedAcrossTwoConnections()
    {
        clickAndWait("buttonWriteProbeType"); // no serial number read yet
        clickAndWait("buttonReadDeviceInfo");
        clickAndWait("buttonReadRefAndMeas");
        QVERIFY(rig->window().loadConfigFile(VELTRA_DOCS_DIR "/example-config.json"));
        clickAndWait("buttonWriteRefAndMeas");
        rig->find<QLineEdit>("passwordLine")->setText("12345678");
        TestSupport::closeNextModal([&] { rig->click("buttonFactoryMode"); });
        rig->settle();
        rig->window().findChild<QAction *>("debugMode")->trigger();
        auto *manual = rig->window().findChild<DebugWindow *>();
        QVERIFY(manual);
        manual->findChild<QLineEdit *>("ManualTxData")->setText("01 02 03");
        QTest::mouseClick(manual->findChild<QPushButton *>("manualSendButton"), Qt::LeftButton);
        rig->settle();
        rig->disconnectWindow();
        QVERIFY(rig->connectWindow());
        clickAndWait("buttonReadDeviceInfo");
        clickAndWait("buttonReadProbeType");
        QVERIFY(rig->window().loadConfigFile(VELTRA_DOCS_DIR "/example-config.json"));
        const TestSupport::ModalBox verified = TestSupport::closeNextModal(
            [&] { rig->find<QAction>("writeAndVerify")->trigger(); }, 8000);
        QCOMPARE(verified.text, QStringLiteral("Записано и проверено.\nПрибор № 1."));

        const QString header = QStringLiteral(
            "Время;Порт;Серийный номер;Версия ПО;Запрос;Команда;Отправлено;Было;Итог");
        const QString settings = QStringLiteral(
            "Чувствительный элемент: 3х проводное ТС (ТС-100П 385), Диапазон: -50.000 … 150.000, "
            "Демпфирующий буфер: 4, Компенсация ХС: вкл, Гистерезис: 0.500");
        const QString correction =
            QStringLiteral("Эталон: -50.000 0.000 50.000 100.000 150.000, Измерено: -50.250 "
                           "-0.125 50.0625 100.250 150.500, Коррекция: вкл");
        const QString device = port + QStringLiteral(";1;1.07;");
        QCOMPARE(linesOf("unknown.csv"),
                 (QStringList{header, port + ";;;1;Запись настроек;" + settings + ";;",
                              port + ";;;1;Запись настроек;;;Код 0: выполнено"}));
        QCOMPARE(linesOf("1.csv"),
                 (QStringList{
                     header,
                     device + "1;Запись точек коррекции;" + correction +
                         ";Эталон: 0.000 25.000 50.000 75.000 100.000, Измерено: 0.000 25.000 "
                         "50.000 75.000 100.000, Коррекция: выкл;",
                     device + "1;Запись точек коррекции;;;Код 0: выполнено",
                     device + "2;Режим администратора;пароль отправлен;;",
                     device + "2;Режим администратора;;;Код 0: выполнено, Режим Администратора! "
                              "Включен!",
                     device + "3;Байты вручную;01 02 03;;",
                     device + "3;Байты вручную;;;не отслеживается: байты не оформлены как пакет",
                     device + "4;Запись настроек;" + settings + ";" + settings + ";",
                     device + "4;Запись настроек;;;Код 0: выполнено",
                     device + "5;Запись точек коррекции;" + correction + ";;",
                     device + "5;Запись точек коррекции;;;Код 0: выполнено",
                     device + "6;Записать и проверить;;;записано и проверено"}));
    }

    // Two programs on one folder, one after the other and interleaved: each
    // goes on from the file's last number, whatever the other wrote.
    void numbersGoOnFromTheFileAcrossPrograms()
    {
        const WriteJournal::Device device{QStringLiteral("COM3"), 7, QStringLiteral("1;\"x\"")};
        const QDateTime now = QDateTime::currentDateTime();
        QList<int> numbers;
        WriteJournal first;
        first.outcome(first.sent(now, device, "a", "1", ""), now, "ok");
        for (int i = 0; i < 3; ++i) {
            WriteJournal second;
            const int waiting = first.sent(now, device, "b", "2", "");
            second.note(now, device, "c", "ok");
            first.outcome(waiting, now, "ok");
        }
        const QStringList lines = linesOf("7.csv");
        for (const QString &line : lines.mid(1))
            numbers << line.section(QStringLiteral("\"\"\";"), 1).section(';', 0, 0).toInt();
        QCOMPARE(numbers, (QList<int>{1, 1, 2, 3, 2, 4, 5, 4, 6, 7, 6}));
        QCOMPARE(WriteJournal::lastNumberIn("journal/7.csv"), 7);
    }

    void rawBytesNeverShowThePassword_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("written");
        const QString sent = QStringLiteral(", пароль отправлен");
        QTest::newRow("other bytes") << QByteArray::fromHex("FF0103") << QStringLiteral("FF 01 03");
        QTest::newRow("unlock frames")
            << QByteArray::fromHex("FF020004 06FF FF030004 6F70656E 13FF") << "FF 02 00" + sent;
        QTest::newRow("after another frame")
            << QByteArray::fromHex("FF0003 0003FF FF020004") << "FF 00 03 00 03 FF FF 02 00" + sent;
        QTest::newRow("payload frame alone")
            << QByteArray::fromHex("FFFF0300 046F7065 6E13FF") << "FF FF 03 00" + sent;
    }
    void rawBytesNeverShowThePassword()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, written);
        QCOMPARE(DeviceWords::rawBytes(bytes), written);
    }

    void anUnwritableJournalIsToldOnceAndTheWritesGoOut()
    {
        QFile blocker(QStringLiteral("journal")); // a file where the folder would go
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        rig->clearLine();
        const TestSupport::ModalBox box =
            TestSupport::closeNextModal([&] { rig->click("buttonWriteRefAndMeas"); });
        QCOMPARE(box.title, QStringLiteral("Журнал записей"));
        QVERIFY2(
            box.text.startsWith(QStringLiteral("Не удалось записать в журнал записей\n") +
                                QDir::toNativeSeparators(workDir->filePath("journal/unknown.csv"))),
            qPrintable(box.text));
        QVERIFY(rig->waitForReplies(1));
        QVERIFY(!TestSupport::closeNextModal([&] { clickAndWait("buttonWriteRefAndMeas"); }, 1000)
                     .shown);
        QCOMPARE(rig->sim().requests().size(), size_t(2));
    }
};

QTEST_MAIN(WriteJournalTest)
#include "tst_writejournal.moc"
