#include "device/replies.h"
#include "link/framecodec.h"
#include "support/linktoline.h"
#include "support/simwindow.h"
#include "support/testsupport.h"
#include "testlog/runevents.h"
#include "testlog/testlogfile.h"

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <sys/resource.h>

using TestSupport::deliver;
using TestSupport::SimWindow;
using Clock = std::chrono::steady_clock;
Q_DECLARE_METATYPE(veltra::sim::Faults)

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray adcReply(float fsr)
{
    return TestSupport::adcReply(0, fsr, 0);
}

} // namespace

// The real window over the simulator's pseudo-terminal, on a line that misbehaves.
class FaultInjectionTest : public QObject
{
    Q_OBJECT
    QTemporaryDir workDir;
    std::unique_ptr<SimWindow> rig;

    QString status() { return rig->window().statusBar()->findChild<QLabel *>()->text(); }
    int rowCount() { return rig->find<QTableWidget>("table")->rowCount(); }
    static QStringList eventsOf(const QString &csvPath)
    {
        QFile file(RunEvents::pathFor(csvPath));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    QLineEdit *firmware() { return rig->find<QLineEdit>("firmwareVersion"); }
    void readsFirmware()
    {
        firmware()->setText("-");
        rig->click("buttonReadDeviceInfo");
        QTRY_COMPARE(firmware()->text(), QStringLiteral("1.07"));
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
    }
    void cleanup()
    {
        rig.reset();
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    void lineFaults_data()
    {
        QTest::addColumn<veltra::sim::Faults>("faults");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("shown"); // the firmware text after a read
        veltra::sim::Faults f;
        f.noAnswer = true;
        QTest::newRow("silence") << f << "NOT ANSWER"
                                 << "-";
        f = {};
        f.badCheckByte = true;
        // A reply that fails its check byte is shown on the indicator, never in a control.
        QTest::newRow("wrong check byte") << f << "CheckByte Error"
                                          << "-";
        f = {};
        f.rejectedType = true;
        QTest::newRow("rejected type") << f << "BAD PACKET"
                                       << "-";
        f = {};
        f.splitReply = true;
        f.splitPauseMs = 270;
#ifndef VELTRA_SANITIZED // a few tens of milliseconds either side of the silence
        QTest::newRow("pause under the silence joins") << f << "SUCCESS"
                                                       << "1.07";
        f.splitPauseMs = 330; // neither half checks out
        QTest::newRow("longer pause splits") << f << QString() << "-";
#endif
    }
    void lineFaults()
    {
        QFETCH(veltra::sim::Faults, faults);
        QFETCH(QString, word);
        QFETCH(QString, shown);
        rig->sim().setFaults(faults);
        TestSupport::ModalWatcher watcher; // a half reply may carry any result code
        firmware()->setText("-");
        rig->click("buttonReadDeviceInfo");
        if (!word.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(status(), word, 6000);
        rig->settle(faults.splitReply ? faults.splitPauseMs + 400 : 400);
        QCOMPARE(firmware()->text(), shown);
        rig->sim().setFaults({});
        readsFirmware(); // the window goes on as before
    }

    void silenceIsExact()
    {
#ifdef VELTRA_SANITIZED
        QSKIP("timing is measured in the plain build");
#endif
        QList<double> ms;
        for (int i = 0; i < 30; ++i) {
            firmware()->setText("-");
            rig->clearLine();
            // A plain event loop: QTest::qWait sleeps in steps of 10 ms.
            QEventLoop loop;
            Clock::time_point shownAt{};
            connect(firmware(), &QLineEdit::textChanged, &loop, [&] {
                shownAt = Clock::now();
                loop.quit();
            });
            QTimer::singleShot(2000, &loop, &QEventLoop::quit);
            rig->click("buttonReadDeviceInfo");
            loop.exec();
            QCOMPARE(firmware()->text(), QStringLiteral("1.07"));
            QCOMPARE(rig->sim().replyTimes().size(), size_t(1));
            ms << std::chrono::duration<double, std::milli>(shownAt - rig->sim().replyTimes()[0])
                      .count();
        }
        std::sort(ms.begin(), ms.end());
        qInfo("last byte to control: min %.1f ms, median %.1f ms, max %.1f ms", ms.first(),
              ms.at(ms.size() / 2), ms.last());
        QVERIFY(ms.first() >= 300);
        QVERIFY(ms.at(ms.size() / 2) <= 305);
    }

    void absurdValues_data()
    {
        QTest::addColumn<float>("sent");
        QTest::addColumn<double>("shown"); // ADC_FSR holds -10 to 10 and starts at 1.5
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 1.5;
        QTest::newRow("+inf") << std::numeric_limits<float>::infinity() << 10.0;
        QTest::newRow("-inf") << -std::numeric_limits<float>::infinity() << -10.0;
        QTest::newRow("huge") << 3e38f << 10.0;
    }
    void absurdValues()
    {
        QFETCH(float, sent);
        QFETCH(double, shown);
        auto *fsr = rig->find<QDoubleSpinBox>("ADC_FSR");
        fsr->setValue(1.5);
        deliver(rig->window(), adcReply(sent));
        QTRY_COMPARE(fsr->value(), shown);
        QTest::qWait(20);
        QCOMPARE(fsr->value(), shown);
    }

    void portErrorsShowOneBoxEachAndHoldRepliesBack()
    {
        readsFirmware(); // the worker is wired
        auto *port = rig->window().findChild<QSerialPort *>();
        auto *fsr = rig->find<QDoubleSpinBox>("ADC_FSR");
        fsr->setValue(0);
        QStringList texts;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (texts.isEmpty()) { // what comes while the first box is open
                deliver(rig->window(), adcReply(2.5f));
                for (int i = 0; i < 5; ++i)
                    emit port->errorOccurred(QSerialPort::WriteError);
                emit port->errorOccurred(QSerialPort::TimeoutError);
                QTest::qWait(100);
            }
            QCOMPARE(fsr->value(), 0.0);
            texts << box->text();
            box->done(QMessageBox::Ok);
        });
        poll.start(10);
        emit port->errorOccurred(QSerialPort::WriteError);
        QTRY_COMPARE(fsr->value(), 2.5);
        QCOMPARE(texts, QStringList({"Ошибка записи", "Превышено время ожидания"}));
    }

    void vanishedDevice_data()
    {
        QTest::addColumn<bool>("hangUp"); // else the port reports ResourceError
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("pty closed") << true << QStringList();
        QTest::newRow("resource error") << false << QStringList{"Соединение с модемом потеряно"};
    }
    void vanishedDevice()
    {
        QFETCH(bool, hangUp);
        QFETCH(QStringList, boxes);
        // Connected by a name the test owns, which leads nowhere once the line
        // has gone: the closed pseudo-terminal's number may be another test's.
        TestSupport::LinkToLine line;
        rig->disconnectWindow();
        QVERIFY(line.pointAt(QString::fromStdString(rig->sim().devicePath())));
        rig->window().addPort(line.path());
        rig->click("buttonConnect");
        QVERIFY(rig->isConnected());
        // Polling, not a run: a run waits for its line instead (tst_testrun).
        rig->click("startButton");
        QTRY_VERIFY(rig->find<QDoubleSpinBox>("Iout")->value() > 0);
        TestSupport::ModalWatcher watcher;
        const double cpuBefore = cpuSeconds();
        if (hangUp) {
            rig->sim().hangUp();
            QVERIFY(line.cut());
        } else {
            emit rig->window().findChild<QSerialPort *>()->errorOccurred(
                QSerialPort::ResourceError);
        }
        QTest::qWait(10000);
        const double cpu = cpuSeconds() - cpuBefore;
        qInfo("CPU time over the 10 s after the line went: %.3f s", cpu);
        QVERIFY(cpu < 0.5);
        QStringList shown;
        for (const TestSupport::ModalBox &box : watcher.boxes())
            shown << box.text;
        QCOMPARE(shown, boxes);
        QCOMPARE(rig->find<QPushButton>("buttonConnect")->text(), QStringLiteral("Подключиться"));
        QVERIFY(!rig->isConnected());
        QVERIFY(!rig->find<QPushButton>("buttonReadDeviceInfo")->isEnabled());
        // Said where the user looks: the indicator and the status bar.
        QCOMPARE(status(), QStringLiteral("NO LINE"));
        QCOMPARE(rig->find<QLabel>("lineNotice")->text(),
                 QStringLiteral("Связь потеряна: порт %1.").arg(line.path()));
        // A new simulator on a new pty, and everything works again. The old
        // one closes here, if it has not already.
        QVERIFY(line.cut());
        QVERIFY(rig->sim().openPty());
        rig->sim().start();
        QVERIFY(rig->connectWindow());
        readsFirmware();
    }

    // The program's own replies that carry a device error open one box a run;
    // "Стоп" stays in reach, and a request of the user's still tells its error.
    void deviceErrorsOpenOneBoxARun()
    {
        veltra::sim::Faults refusing;
        refusing.forcedResultCode = 7;
        rig->sim().setFaults(refusing);
        const QString refused = QStringLiteral("Код 7: Режим запрета записи!!");
        {
            TestSupport::ModalWatcher watcher;
            rig->find<QTabWidget>("tabWidget")->setCurrentIndex(4);
            rig->click("pushButtonStartTesting");
            QTRY_VERIFY_WITH_TIMEOUT(rowCount() >= 3, 8000); // the data came with the code
            rig->click("pushButtonStopTesting");
            QVERIFY(rig->find<QPushButton>("pushButtonStartTesting")->isEnabled());
            QCOMPARE(watcher.boxes().size(), 1);
            QCOMPARE(watcher.boxes().first().text, refused);
        }
        const QString log = rig->window().findChild<TestLogFile *>()->fileName();
        // Each row's, and the one of the read of the serial number that followed the first.
        QCOMPARE(eventsOf(log).filter(QStringLiteral("Ошибка прибора: ") + refused).size(),
                 rowCount() + 1);
        rig->settle();
        const TestSupport::ModalBox box =
            TestSupport::closeNextModal([&] { rig->click("buttonReadDeviceInfo"); });
        QCOMPARE(box.text, refused);
    }

    void corruptedRepliesNeverBecomeRows()
    {
        veltra::sim::Faults corrupting;
        corrupting.badCheckByte = true;
        rig->sim().setFaults(corrupting);
        rig->click("pushButtonStartTesting");
        const QString log = rig->window().findChild<TestLogFile *>()->fileName();
        QTRY_VERIFY_WITH_TIMEOUT(eventsOf(log).filter(QStringLiteral("Ответ отброшен")).size() >= 2,
                                 5000);
        QCOMPARE(rowCount(), 0);
    }

    void randomFramesDuringATestRun()
    {
        rig->click("pushButtonStartTesting");
        auto *table = rig->find<QTableWidget>("table");
        QTRY_COMPARE(table->rowCount(), 1);
        veltra::sim::Faults silent; // from here on every row is one of the frames below
        silent.noAnswer = true;
        rig->sim().setFaults(silent);
        TestSupport::ModalWatcher watcher;
        QRandomGenerator random(9);
        int rows = 1;
        for (int i = 0; i < 10000; ++i) {
            QByteArray frame(69, 0); // the header is set first, then cut to 2 to 69 bytes
            for (char &byte : frame)
                byte = char(random.bounded(256));
            frame[1] = char(random.bounded(5)); // mostly types that are taken
            frame[2] = char(random.bounded(7));
            frame[4] = char(random.bounded(100) < 97 ? 0 : random.bounded(256));
            frame.truncate(int(random.bounded(2, 70)));
            frame[frame.size() - 2] =
                char(FrameCodec::computeCheckByte(frame.left(frame.size() - 2)));
            const FrameCodec::Received received = FrameCodec::acceptFrame(frame);
            if (received.outcome == FrameCodec::Outcome::BadPacket || received.reply.isEmpty())
                continue;
            const Device::ReplyHeader header = Device::parseReply(received.reply);
            // A serial number other than the run's device's ends the run.
            if (header.type != 2 && header.command == Device::Command::DeviceInfo)
                continue;
            const bool statusOnlyError = header.resultCode &&
                                         !Device::isSuccess(*header.resultCode) &&
                                         header.length == Device::StatusOnlyLength;
            rows += header.type != 2 && header.command == 0 && !statusOnlyError;
            deliver(rig->window(), received.reply);
            if (i % 50 == 0)
                QTest::qWait(1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), rows, 30000);
        QTest::qWait(100);
        QCOMPARE(table->rowCount(), rows);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        rig->sim().setFaults({});
        qInfo("%d rows, %d boxes", rows, int(watcher.boxes().size()));
        rig->click("pushButtonStopTesting");
        readsFirmware();
    }

    void byteFlood()
    {
        veltra::sim::Faults flood;
        flood.flood = true;
        rig->sim().setFaults(flood);
        TestSupport::ModalWatcher watcher; // slices of the flood may carry any result code
        rig->click("startButton");
        QTest::qWait(1000);
        const long rssBefore = TestSupport::residentKilobytes();
        qint64 maxGap = 0;
        QElapsedTimer sinceTick, total;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        connect(&tick, &QTimer::timeout, [&] { maxGap = qMax(maxGap, sinceTick.restart()); });
        sinceTick.start();
        total.start();
        tick.start(10);
        while (total.elapsed() < 30000)
            QTest::qWait(50);
        tick.stop();
        const long growth = TestSupport::residentKilobytes() - rssBefore;
        qInfo("flood: longest gap of a 10 ms timer %lld ms, memory growth %ld kB", maxGap, growth);
#ifndef VELTRA_SANITIZED
        // A sanitizer slows every step and holds freed memory back in quarantine:
        // there these would measure the sanitizer, not the window.
        QVERIFY(maxGap < 100);
        QVERIFY(growth < 30 * 1024);
#endif
        // However many slices carried an error code, a polling session opens one box.
        QVERIFY(watcher.boxes().size() <= 1);
        rig->sim().setFaults({});
        rig->click("stopButton");
        rig->settle();
        readsFirmware();
    }
};

QTEST_MAIN(FaultInjectionTest)
#include "tst_faultinjection.moc"
