#include "support/linktoline.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::SimWindow;

// "Записать и проверить" against the simulator: the configuration of a file,
// loaded into the window, goes to the device and is read back in one action,
// one request at a time, and one box tells the outcome.
class WriteVerifyTest : public QObject
{
    Q_OBJECT
    QTemporaryDir workDir;
    std::unique_ptr<SimWindow> rig;

    QAction *action() { return rig->find<QAction>("writeAndVerify"); }

    // "type/command" of each request the simulator took.
    QString requestsSeen()
    {
        QStringList seen;
        for (const veltra::sim::Request &request : rig->sim().requests())
            seen << QStringLiteral("%1/%2").arg(request.type).arg(request.command);
        return seen.join(' ');
    }

private slots:
    void initTestCase()
    {
        TestSupport::watchWarnings();
        QVERIFY(QDir::setCurrent(workDir.path()));
    }

    void init()
    {
        rig = std::make_unique<SimWindow>();
        QVERIFY(rig->connectWindow());
        QVERIFY(rig->window().loadConfigFile(VELTRA_DOCS_DIR "/example-config.json"));
    }

    void cleanup()
    {
        rig.reset();
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    void oneBoxTellsTheOutcome_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<bool>("roundUpper");
        QTest::addColumn<bool>("lineLost"); // the simulator hangs up, the second step unanswered
        QTest::addColumn<QString>("requests");
        QTest::addColumn<QString>("text");

        const QString all = QStringLiteral("0/3 1/1 1/4 0/1 0/4");
        QTest::newRow("verified") << -50.0 << 150.0 << false << false << all
                                  << "Записано и проверено.\nПрибор № 1.";
        QTest::newRow("rounded upper range")
            << -50.0 << 149.75 << true << false << all
            << "Прочитано не то, что записано (отправлено → прочитано):\n"
               "Верхний предел диапазона: 149.750 → 150.000\nПрибор № 1.";
        QTest::newRow("range never written")
            << 100.0 << 50.0 << false << false << ""
            << "Нижний предел (100) не меньше верхнего (50). Не записано.";
        QTest::newRow("line lost") << -50.0 << 150.0 << false << true << "0/3 1/1"
                                   << "Не выполнено: шаг 2 из 5, «Запись настроек»: нет ответа: "
                                      "связь прервана\nПрибор № 1.";
    }

    void oneBoxTellsTheOutcome()
    {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(bool, roundUpper);
        QFETCH(bool, lineLost);
        QFETCH(QString, requests);
        QFETCH(QString, text);
        // A line that goes is connected by a name the test owns, which leads
        // nowhere once the line has gone: the closed pseudo-terminal's number
        // may be another test's.
        TestSupport::LinkToLine line;
        if (lineLost) {
            rig->disconnectWindow();
            QVERIFY(line.pointAt(QString::fromStdString(rig->sim().devicePath())));
            rig->window().addPort(line.path());
            rig->click("buttonConnect");
            QVERIFY(rig->isConnected());
        }
        rig->find<QDoubleSpinBox>("LowerRange")->setValue(lower);
        rig->find<QDoubleSpinBox>("UpperRange")->setValue(upper);
        veltra::sim::Faults faults;
        faults.roundUpperRange = roundUpper;
        rig->sim().setFaults(faults);
        rig->clearLine();

        TestSupport::ModalWatcher watcher;
        action()->trigger();
        if (lineLost) {
            // The next request waits for 300 ms of silence after this reply.
            QVERIFY(rig->waitForReplies(1));
            faults.noAnswer = true;
            rig->sim().setFaults(faults);
            QTRY_COMPARE(rig->sim().requests().size(), size_t(2));
            rig->sim().hangUp();
            QVERIFY(line.cut());
        }
        const auto outcomeBoxes = [&] {
            QList<TestSupport::ModalBox> found;
            for (const TestSupport::ModalBox &box : watcher.boxes())
                if (box.title == QStringLiteral("Записать и проверить"))
                    found << box;
            return found;
        };
        QTRY_COMPARE_WITH_TIMEOUT(outcomeBoxes().size(), 1, 8000);
        QCOMPARE(outcomeBoxes().first().text, text);
        rig->settle();
        QCOMPARE(outcomeBoxes().size(), 1);
        QCOMPARE(requestsSeen(), requests);
        QVERIFY(action()->isEnabled() != lineLost);

        const veltra::sim::DeviceState state = rig->sim().state();
        if (QTest::currentDataTag() == QLatin1String("verified")) { // what the file holds
            QCOMPARE(state.probe.lower, -50.0f);
            QCOMPARE(state.probe.upper, 150.0f);
            QCOMPARE(int(state.probe.typeCode), 12);
            QCOMPARE(state.probe.hysteresis, 0.5f);
            QCOMPARE(state.correction.measured[2], 50.0625f);
            QVERIFY(state.correction.enabled);
        }
    }

    // What is written is what the user chose: a mismatch is found again on a
    // retry, and a read in between does not take the file's place.
    void theReferenceIsWhatTheUserChose_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::newRow("retry after a mismatch") << false;
        QTest::newRow("read before writing") << true;
    }

    void theReferenceIsWhatTheUserChose()
    {
        QFETCH(bool, readFirst);
        auto *label = rig->find<QLabel>("referenceLabel");
        QCOMPARE(label->text(), QStringLiteral("Эталон: example-config.json"));
        rig->find<QDoubleSpinBox>("UpperRange")->setValue(149.75);
        QCOMPARE(label->text(), QStringLiteral("Эталон: example-config.json, изменён"));
        veltra::sim::Faults faults;
        faults.roundUpperRange = true;
        rig->sim().setFaults(faults);
        const QString mismatch = "Прочитано не то, что записано (отправлено → прочитано):\n"
                                 "Верхний предел диапазона: 149.750 → 150.000\nПрибор № 1.";
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (readFirst) {
                rig->click("buttonReadProbeType");
                QVERIFY(rig->waitForReplies(1));
                rig->settle();
            }
            rig->clearLine();
            TestSupport::ModalWatcher watcher;
            action()->trigger();
            QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes().size(), 1, 8000);
            QCOMPARE(watcher.boxes().first().text, mismatch);
            QCOMPARE(requestsSeen(), QStringLiteral("0/3 1/1 1/4 0/1 0/4"));
            rig->settle();
        }
        // The device's answer is shown, and the reference stays.
        QCOMPARE(rig->find<QDoubleSpinBox>("UpperRange")->value(), 150.0);
        QCOMPARE(label->text(), QStringLiteral("Эталон: example-config.json, изменён"));
        rig->find<QAction>("referenceFromWindow")->trigger();
        QCOMPARE(label->text(), QStringLiteral("Эталон: окно"));
    }

    void withoutAReferenceNothingIsWritten()
    {
        rig = std::make_unique<SimWindow>();
        QVERIFY(rig->connectWindow());
        QCOMPARE(rig->find<QLabel>("referenceLabel")->text(), QStringLiteral("Эталон не задан"));
        rig->clearLine();
        const TestSupport::ModalBox box = TestSupport::closeNextModal([&] { action()->trigger(); });
        QCOMPARE(box.title, QStringLiteral("Записать и проверить"));
        QVERIFY(box.text.startsWith(QStringLiteral("Ничего не записано: эталон не задан.")));
        rig->settle();
        QCOMPARE(rig->lineBytes(), QByteArray());
    }

    // What is being written must not change under it.
    void noFileLoadsWhileItRuns()
    {
        TestSupport::ModalWatcher watcher;
        action()->trigger();
        QVERIFY(!rig->window().loadConfigFile(VELTRA_DOCS_DIR "/example-config.json"));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes().size(), 2, 8000);
        QCOMPARE(watcher.boxes().first().title, QStringLiteral("Загрузка конфигурации"));
        QCOMPARE(watcher.boxes().last().text, QStringLiteral("Записано и проверено.\nПрибор № 1."));
    }

    // A run's record must not mix two configurations.
    void offWhileATestRunIsOn()
    {
        QVERIFY(action()->isEnabled());
        rig->click("pushButtonStartTesting");
        QVERIFY(!action()->isEnabled());
        rig->clearLine();
        action()->trigger();
        rig->settle(2500); // the run's own reads only
        for (const veltra::sim::Request &request : rig->sim().requests())
            QCOMPARE(int(request.type), 0);
        rig->click("pushButtonStopTesting");
        emit rig->find<QMenu>("menu")->aboutToShow();
        QVERIFY(action()->isEnabled());
    }
};

QTEST_MAIN(WriteVerifyTest)
#include "tst_writeverify.moc"
