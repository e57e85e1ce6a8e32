#include "support/linktoline.h"
#include "support/simwindow.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using veltra::sim::Faults;
using veltra::sim::Simulator;

// "Найти прибор" over pseudo-terminals: the simulated transmitter is found
// among ports that do not answer, every port tried is closed again, and the
// box tells what each port did.
class PortSearchTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestSupport::SimWindow> rig;
    std::vector<std::unique_ptr<Simulator>> decoys;
    QTemporaryDir scratch;

    QAction *findDevice() { return rig->window().findChild<QAction *>("findDevice"); }
    // The terminals this process holds open (Qt 6 opens event descriptors of its own).
    static QStringList openTerminals()
    {
        QStringList terminals;
        for (const QFileInfo &fd : QDir("/proc/self/fd").entryInfoList(QDir::System)) {
            if (fd.symLinkTarget().startsWith("/dev/pts/") ||
                fd.symLinkTarget().startsWith("/dev/tty"))
                terminals << fd.symLinkTarget();
        }
        terminals.sort();
        return terminals;
    }

    // A simulator in the port list that misbehaves as `fault` says (if any), listed by
    // its pseudo-terminal's name or, given `line`, by that link to it. Returns
    // the name listed.
    QString addDecoy(bool Faults::*fault, TestSupport::LinkToLine *line = nullptr)
    {
        decoys.push_back(std::make_unique<Simulator>());
        Faults faults;
        if (fault)
            faults.*fault = true;
        decoys.back()->setFaults(faults);
        if (decoys.back()->openPty())
            decoys.back()->start();
        QString name = QString::fromStdString(decoys.back()->devicePath());
        if (line) {
            if (!line->pointAt(name))
                return QString();
            name = line->path();
        }
        rig->window().addPort(name);
        return name;
    }

    // The result box's text; empty without one. The box runs its own event
    // loop, so a timer watches for it.
    QString runSearch()
    {
        QString text;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                text = box->text();
                box->accept();
            }
        });
        watch.start(10);
        findDevice()->trigger();
        return QTest::qWaitFor([&] { return !text.isEmpty(); }, 20000) ? text : QString();
    }

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }
    void init() { rig = std::make_unique<TestSupport::SimWindow>(); }
    void cleanup()
    {
        rig.reset();
        decoys.clear();
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    // Every port is tried: both transmitters are listed and the first is
    // selected; of the others, the one that sends noise is told apart.
    void findsEveryTransmitterAmongPortsThatDoNotAnswer()
    {
        addDecoy(&Faults::noAnswer);
        veltra::sim::DeviceState state = rig->sim().state();
        state.production.serial = 1042;
        state.production.firmware = "2.15";
        rig->sim().setState(state);
        const QString pty = QString::fromStdString(rig->sim().devicePath());
        rig->window().addPort(pty);
        const QString foreign = addDecoy(&Faults::rejectedType);
        const QString noisy = addDecoy(&Faults::badCheckByte);
        const QString second = addDecoy(nullptr);
        state.production.serial = 5555;
        decoys.back()->setState(state);
        auto *ports = rig->find<QComboBox>("comboPort");
        ports->setCurrentIndex(0);
        const QStringList terminals = openTerminals();

        QCOMPARE(runSearch(), QStringLiteral("Найдено приборов: 2. В списке «Порт» выбран первый.\n"
                                             "%1 — № 1042, версия 2.15\n%2 — № 5555, версия 2.15\n"
                                             "На других портах:\n%3 — ответ не от прибора\n"
                                             "%4 — отвечает помехами")
                                  .arg(pty, second, foreign, noisy));
        QVERIFY(ports->currentText().startsWith(pty + " | "));
        QCOMPARE(openTerminals(), terminals);
        for (const std::unique_ptr<Simulator> &decoy : decoys)
            QCOMPARE(decoy->requests().size(), size_t(1));
        QVERIFY(!rig->isConnected());
        // Offered while the port list may change.
        QVERIFY(findDevice()->isEnabled());
        QVERIFY(rig->connectWindow());
        QVERIFY(!findDevice()->isEnabled());
        rig->disconnectWindow();
        QVERIFY(findDevice()->isEnabled());
    }

    void noAnswerAnywhereListsEveryPortTried()
    {
        const QString quiet = addDecoy(&Faults::noAnswer);
        const QString foreign = addDecoy(&Faults::rejectedType);
        // Listed by a name the test owns: once the port has gone, its number may
        // be another test's, and the name must lead nowhere.
        TestSupport::LinkToLine vanishingLine;
        const QString vanishing = addDecoy(&Faults::noAnswer, &vanishingLine);
        QVERIFY(!vanishing.isEmpty());
        QFile(scratch.filePath("plain")).open(QIODevice::WriteOnly);
        for (const char *name : {"plain", "missing"})
            rig->window().addPort(scratch.filePath(name));
        // The far end of one port closes as soon as it has been asked.
        QTimer pull;
        connect(&pull, &QTimer::timeout, this, [&] {
            if (!decoys.at(2)->requests().empty()) {
                decoys.at(2)->hangUp();
                vanishingLine.cut();
                pull.stop();
            }
        });
        pull.start(5);

        const QStringList lines = runSearch().split('\n');
        QCOMPARE(lines.value(0), QStringLiteral("Прибор не найден. Опрошены порты:"));
        for (const QString &line :
             {quiet + " — нет ответа", foreign + " — ответ не от прибора",
              vanishing + " — порт пропал", scratch.filePath("missing") + " — порт пропал"})
            QVERIFY2(lines.contains(line), qPrintable(lines.join('\n')));
        QVERIFY2(!lines.filter(QRegularExpression(scratch.filePath("plain") + " — не открылся"))
                      .isEmpty(),
                 qPrintable(lines.join('\n')));
    }

    void cancelledSearchStopsAndLeavesNoPortOpen()
    {
        addDecoy(&Faults::noAnswer);
        rig->window().addPort(QString::fromStdString(rig->sim().devicePath()));
        const QStringList terminals = openTerminals();
        findDevice()->trigger();
        QTRY_VERIFY(!decoys.front()->requests().empty());
        auto *progress = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
        QVERIFY(progress);
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        QTest::qWait(1500);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(rig->sim().requests().empty());
        QCOMPARE(openTerminals(), terminals);
    }
};

QTEST_MAIN(PortSearchTest)
#include "tst_portsearch.moc"
