#include "debug/debugwindow.h"
#include "debug/hexinput.h"
#include "link/framecodec.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::SimWindow;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class DebugWindowTest : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimWindow> rig;
    DebugWindow *dialog = nullptr;

    template <typename T> T *field(const char *name)
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    void press(const char *name) { QTest::mouseClick(field<QPushButton>(name), Qt::LeftButton); }
    static QStringList sentInTrafficFile(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("cannot open ") + path};
        QStringList sent;
        for (const QString &line : QString::fromUtf8(file.readAll()).split('\n'))
            if (line.contains("  TX "))
                sent << line.section("  ", 2).trimmed();
        return sent;
    }
    QByteArray lineAfter(int ms = 150)
    {
        QTest::qWait(ms);
        return rig->lineBytes();
    }

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }

    void init()
    {
        rig = std::make_unique<SimWindow>();
        QVERIFY(rig->connectWindow());
        rig->window().findChild<QAction *>("debugMode")->trigger();
        dialog = rig->window().findChild<DebugWindow *>();
        QVERIFY(dialog);
        rig->settle(50);
        rig->clearLine();
    }

    void cleanup()
    {
        rig.reset();
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    void menuActionShowsTheOneModelessWindow()
    {
        auto *action = rig->window().findChild<QAction *>("debugMode");
        QCOMPARE(action->text(), QStringLiteral("Ручная Посылка"));
        QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+F10")));
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        dialog->close();
        action->trigger();
        action->trigger();
        QCOMPARE(rig->window().findChildren<DebugWindow *>().size(), 1);
        QVERIFY(dialog->isVisible());
    }

    void hexTextDecodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("mixed case with space") << "03 0a0B" << hex("030A0B");
        QTest::newRow("odd count makes a lone first digit") << "ABC" << hex("0ABC");
        QTest::newRow("non-hex skipped") << "zz12" << hex("12");
        QTest::newRow("cyrillic skipped") << QStringLiteral("Я1Ж2") << hex("12");
        QTest::newRow("no digits") << "xyz" << QByteArray();
    }
    void hexTextDecodes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(HexInput::decode(text), bytes);
    }

    void composedSendIsFramedOnTheLine_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("shownCommand");
        QTest::addColumn<QString>("shownData");
        QTest::newRow("write with payload") << 1 << "03 0a0B"
                                            << hex("FF01030200FF"
                                                   "FF0303020A0B03FF")
                                            << 3 << "0A0B";
        QTest::newRow("type byte 255") << 255 << "10" << hex("FFFF100010FF") << 16 << "";
        QTest::newRow("read drops its payload") << 0 << "ABC" << hex("FF000A010BFF") << 10 << "BC";
        QTest::newRow("first data byte C8") << 0 << "C8" << hex("FF00C800C8FF") << 200 << "";
        QTest::newRow("cyrillic skipped")
            << 0 << QStringLiteral("zzЯ03") << hex("FF00030003FF") << 3 << "";
    }
    void composedSendIsFramedOnTheLine()
    {
        QFETCH(int, command);
        QFETCH(QString, data);
        QFETCH(QByteArray, line);
        QFETCH(int, shownCommand);
        QFETCH(QString, shownData);
        field<QSpinBox>("TxCommand")->setValue(command);
        field<QLineEdit>("TxData")->setText(data);
        press("sendButton");
        QCOMPARE(lineAfter(), line);
        QCOMPARE(field<QSpinBox>("TxCommand")->value(), shownCommand);
        QCOMPARE(field<QLineEdit>("TxData")->text(), shownData);
    }

    void composedSendWithoutDataSendsNothing()
    {
        field<QSpinBox>("TxCommand")->setValue(7);
        field<QLineEdit>("TxData")->setText("zz qq");
        press("sendButton");
        QCOMPARE(lineAfter(), QByteArray());
        QCOMPARE(field<QSpinBox>("TxCommand")->value(), 7);
        QCOMPARE(field<QLineEdit>("TxData")->text(), QStringLiteral("zz qq"));
    }

    void rawSendWritesEachGroupThenPauses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("pauses");
        QTest::newRow("three groups") << "FF 01 00" << hex("FF0100") << 3;
        QTest::newRow("one group") << "FF0100" << hex("FF0100") << 1;
        QTest::newRow("double space") << "FF  01" << hex("FF01") << 3;
        QTest::newRow("empty field") << "" << QByteArray() << 1;
        QTest::newRow("cyrillic group is empty") << QStringLiteral("FF Я 01") << hex("FF01") << 3;
        QTest::newRow("tab does not split") << "A1\tB2" << hex("A1B2") << 1;
    }
    void rawSendWritesEachGroupThenPauses()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        QFETCH(int, pauses);
        QCOMPARE(HexInput::rawGroups(text).size(), pauses);
        field<QLineEdit>("ManualTxData")->setText(text);
        press("manualSendButton");
        QCOMPARE(lineAfter(), line);
        // Raw bytes bypass the worker: the transmit fields keep what they had.
        QCOMPARE(field<QLineEdit>("TxData")->text(), QString());
    }

    void rawGroupsReachTheLineApart()
    {
        field<QLineEdit>("ManualTxData")->setText("11 22 33 44");
        press("manualSendButton");
        QTest::qWait(150);
        const auto chunks = rig->sim().lineLog();
        QVERIFY(!chunks.empty());
        const auto span = chunks.back().when - chunks.front().when;
        // Four groups with a pause after each: the last leaves at least three
        // pauses after the first.
        QVERIFY(span >= std::chrono::milliseconds(3 * DebugWindow::RawGroupPauseMs - 4));
    }

    void threeHundredGroupsAllArriveInOrder()
    {
        QStringList groups;
        QByteArray expected;
        for (int i = 0; i < 300; ++i) {
            const int value = (i * 7 + 0x20) & 0x7F; // never a frame delimiter
            groups.append(QString::asprintf("%02X", value));
            expected.append(char(value));
        }
        field<QLineEdit>("ManualTxData")->setText(groups.join(' '));
        press("manualSendButton");
        QTRY_COMPARE(rig->lineBytes(), expected);
    }

    // 3,000 groups take half a minute on the line; meanwhile the window answers
    // at once and "Отключиться" stops the rest.
    void longRawSendKeepsTheWindowResponsive()
    {
        QStringList groups;
        for (int i = 0; i < 3000; ++i)
            groups.append(QStringLiteral("2A"));
        field<QLineEdit>("ManualTxData")->setText(groups.join(' '));
        QElapsedTimer elapsed;
        elapsed.start();
        press("manualSendButton");
        QVERIFY(elapsed.elapsed() < 1000);
        QTRY_VERIFY(rig->lineBytes().size() > 10);
        rig->disconnectWindow();
        QVERIFY(!rig->isConnected());
        const QByteArray sent = lineAfter(200);
        QCOMPARE(lineAfter(200), sent);
        QVERIFY(sent.size() < 1000);
    }

    // 300 groups take 2.4 s: the window counts them, refuses a second send and
    // stops at "Прервать"; the next send then goes and its end is told.
    void rawSendShowsProgressRefusesASecondAndCancels()
    {
        auto *progress = field<QLabel>("manualSendProgress");
        field<QLineEdit>("ManualTxData")->setText(QStringLiteral("2A ").repeated(300).trimmed());
        press("manualSendButton");
        QTRY_VERIFY(rig->lineBytes().size() >= 5);
        QVERIFY(progress->text().startsWith(QStringLiteral("Отправлено групп: ")));
        field<QLineEdit>("ManualTxData")->setText("7E");
        press("manualSendButton");
        QVERIFY(
            progress->text().endsWith(QStringLiteral("Новая отправка не начата: эта ещё идёт")));
        press("manualCancelButton");
        const QByteArray sent = lineAfter(100);
        QCOMPARE(lineAfter(100), sent);
        QVERIFY(sent == QByteArray(sent.size(), '\x2A') && sent.size() < 300);
        QCOMPARE(progress->text(),
                 QStringLiteral("Прервано: отправлено групп %1 из 300").arg(sent.size()));
        press("manualSendButton");
        QTRY_VERIFY(!field<QPushButton>("manualCancelButton")->isEnabled());
        QCOMPARE(progress->text(), QStringLiteral("Отправлено групп: 1 из 1"));
        QCOMPARE(lineAfter(50), sent + "\x7E");
    }

    void mirrorsMainWindowTraffic()
    {
        rig->click("buttonReadProbeType");
        QCOMPARE(field<QSpinBox>("TxCommand")->value(), 1);
        QCOMPARE(field<QLineEdit>("TxData")->text(), QString());
        // The reply from its length byte on: 18 bytes follow it (result, status, 16 data).
        QTRY_COMPARE(field<QSpinBox>("RxCommand")->value(), 1);
        QTRY_VERIFY(field<QLineEdit>("RxData")->text().startsWith("1200"));
        QCOMPARE(field<QLineEdit>("RxData")->text().size(), 2 * 19);
    }

    void longReplyIsCutTo74Characters()
    {
        rig->click("buttonReadRefAndMeas");
        QTRY_COMPARE(field<QSpinBox>("RxCommand")->value(), 4);
        QTRY_VERIFY(field<QLineEdit>("RxData")->text().startsWith("2B00"));
        QCOMPARE(field<QLineEdit>("RxData")->text().size(), 74);
    }

    void rejectedReplyShowsRawBytesAndKeepsCommand()
    {
        field<QSpinBox>("RxCommand")->setValue(9);
        veltra::sim::Faults faults;
        faults.rejectedType = true;
        rig->sim().setFaults(faults);
        rig->click("buttonReadADC");
        QTRY_VERIFY(field<QLineEdit>("RxData")->text().startsWith("FF0502"));
        QTest::qWait(100);
        QCOMPARE(field<QSpinBox>("RxCommand")->value(), 9);
    }

    void sendButtonFollowsThePort()
    {
        auto *send = field<QPushButton>("sendButton");
        QVERIFY(send->isEnabled());
        rig->disconnectWindow();
        QVERIFY(!send->isEnabled());
        QVERIFY(field<QPushButton>("manualSendButton")->isEnabled());
        // With the port closed neither button reaches the line or the indicator.
        auto *status = rig->window().statusBar()->findChild<QLabel *>();
        const QString word = status->text();
        field<QLineEdit>("TxData")->setText("00");
        field<QLineEdit>("ManualTxData")->setText("FF");
        send->setEnabled(true);
        press("sendButton");
        press("manualSendButton");
        QCOMPARE(lineAfter(), QByteArray());
        QCOMPARE(status->text(), word);
        QVERIFY(rig->connectWindow());
        QVERIFY(send->isEnabled());
    }

    // A read, raw bytes, then a read answered with a wrong check byte.
    void trafficFileHoldsEveryFrameOfAnExchange()
    {
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());
        field<QCheckBox>("recordTraffic")->setChecked(true);
        const QString shown = field<QLabel>("trafficFile")->text();
        const QRegularExpression named(R"(traffic.\d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.txt$)");
        QVERIFY2(named.match(shown).hasMatch(), qPrintable(shown));
        field<QLineEdit>("TxData")->setText("03");
        press("sendButton");
        QVERIFY(rig->waitForReplies(1));
        QTRY_COMPARE(field<QSpinBox>("RxCommand")->value(), 3);
        const QString data = field<QLineEdit>("RxData")->text();
        field<QLineEdit>("ManualTxData")->setText("FF00 030003FF");
        press("manualSendButton");
        QVERIFY(rig->waitForReplies(2));
        rig->settle();
        veltra::sim::Faults faults;
        faults.badCheckByte = true;
        rig->sim().setFaults(faults);
        // The window shows the request it sent as type 3 with no data: type it again.
        field<QSpinBox>("TxCommand")->setValue(0);
        field<QLineEdit>("TxData")->setText("03");
        press("sendButton");
        QVERIFY(rig->waitForReplies(3));
        rig->settle();
        field<QCheckBox>("recordTraffic")->setChecked(false);

        QFile file(shown);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        QDir::setCurrent(previous);
        QByteArray frame = hex("FF0003") + hex(qPrintable(data));
        frame.append(char(FrameCodec::computeCheckByte(frame))).append(char(0xFF));
        const QString reply = FrameCodec::toHex(frame);
        const QStringList expected{"TX      FF00030003FF",
                                   "RX      " + reply + QStringLiteral("  принят"),
                                   "TX RAW  FF00",
                                   "TX RAW  030003FF",
                                   "RX      " + reply + QStringLiteral("  принят"),
                                   "TX      FF00030003FF",
                                   "RX      FF0003.*  отброшен: не совпал контрольный байт",
                                   ""};
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < expected.size() - 1; ++i) {
            const QString pattern =
                R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}  )" + expected.at(i) + "$";
            QVERIFY2(QRegularExpression(pattern).match(lines.at(i)).hasMatch(),
                     qPrintable(lines.at(i)));
        }
    }

    // The unlock from the main window's button, then typed as raw groups that
    // split the password: neither the file nor the TX box holds it.
    void trafficNeverHoldsThePassword()
    {
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());
        field<QCheckBox>("recordTraffic")->setChecked(true);
        const QString shown = field<QLabel>("trafficFile")->text();
        rig->find<QLineEdit>("passwordLine")->setText("12345678");
        TestSupport::closeNextModal([&] { rig->click("buttonFactoryMode"); });
        QVERIFY(rig->waitForReplies(1));
        QTRY_COMPARE(field<QLineEdit>("TxData")->text(), QString("**").repeated(8));
        field<QLineEdit>("ManualTxData")->setText("FF0200080AFF FF030008 3132 333435363738 03FF");
        // Its answer is told in a box as the button's is.
        TestSupport::closeNextModal([&] { press("manualSendButton"); }, 5000);
        QVERIFY(rig->waitForReplies(2));
        field<QCheckBox>("recordTraffic")->setChecked(false);
        QDir::setCurrent(previous);
        const QString masked = QString("**").repeated(9);
        QCOMPARE(sentInTrafficFile(QDir(work.path()).filePath(shown)),
                 (QStringList{"FF0200080AFF", "FF030008" + masked + "FF", "FF0200080AFF",
                              "FF030008", "****", "************", "**FF"}));
    }

    // The first half went before recording began: the second is still a secret.
    void passwordSplitAcrossTurningRecordingOnStaysOutOfTheFile()
    {
        const auto sendRaw = [this](const char *text) {
            field<QLineEdit>("ManualTxData")->setText(text);
            press("manualSendButton");
            QTRY_VERIFY(!field<QPushButton>("manualCancelButton")->isEnabled());
        };
        sendRaw("FF030008 3132");
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());
        field<QCheckBox>("recordTraffic")->setChecked(true);
        QDir::setCurrent(previous);
        const QString shown = field<QLabel>("trafficFile")->text();
        sendRaw("333435363738");
        field<QCheckBox>("recordTraffic")->setChecked(false);
        QCOMPARE(sentInTrafficFile(QDir(work.path()).filePath(shown)),
                 QStringList{QString("**").repeated(6)});
    }

    void trafficFileThatCannotBeCreatedIsToldAndTheLineGoesOn()
    {
        QTemporaryDir work;
        QFile blocker(work.filePath("traffic")); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());
        auto *record = field<QCheckBox>("recordTraffic");
        const TestSupport::ModalBox box =
            TestSupport::closeNextModal([record] { record->setChecked(true); });
        QDir::setCurrent(previous);
        QVERIFY(box.text.startsWith(QStringLiteral("Не удалось создать файл")));
        QVERIFY(!record->isChecked());
        field<QLineEdit>("TxData")->setText("03");
        press("sendButton");
        QTRY_COMPARE(field<QSpinBox>("RxCommand")->value(), 3);
    }
};

QTEST_MAIN(DebugWindowTest)
#include "tst_debugwindow.moc"
