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

#include <memory>
#include <vector>

using TestSupport::SimWindow;
using veltra::sim::Faults;
using veltra::sim::Simulator;

// "Найти прибор" over pseudo-terminals: the simulated transmitter is found
// among ports that do not answer, every port tried is closed again, and the
// box tells what each port did.
class PortSearchTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }
    void init() { rig = std::make_unique<SimWindow>(); }
    void cleanup();

    void findsTheTransmitterAmongPortsThatDoNotAnswer();
    void noAnswerAnywhereListsEveryPortTried();
    void cancelledSearchStopsAndLeavesNoPortOpen();

private:
    QString addDecoy(const Faults &faults);
    QString addPath(const QString &name, bool create);
    QString runSearch();
    QAction *findDevice() { return rig->window().findChild<QAction *>("findDevice"); }
    static int openDescriptors()
    {
        return QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
            .size();
    }

    std::unique_ptr<SimWindow> rig;
    std::vector<std::unique_ptr<Simulator>> decoys;
    QTemporaryDir scratch;
};

void PortSearchTest::cleanup()
{
    rig.reset();
    decoys.clear();
    QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
}

// A simulator that answers wrongly or not at all, in the port list.
QString PortSearchTest::addDecoy(const Faults &faults)
{
    decoys.push_back(std::make_unique<Simulator>());
    Simulator &decoy = *decoys.back();
    decoy.setFaults(faults);
    if (decoy.openPty())
        decoy.start();
    const QString path = QString::fromStdString(decoy.devicePath());
    rig->window().addPort(path);
    return path;
}

QString PortSearchTest::addPath(const QString &name, bool create)
{
    const QString path = scratch.filePath(name);
    if (create)
        QFile(path).open(QIODevice::WriteOnly);
    rig->window().addPort(path);
    return path;
}

// The result box's text, once the progress dialog has gone; empty without a
// box. The box runs its own event loop, so a timer watches for it.
QString PortSearchTest::runSearch()
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
    if (!QTest::qWaitFor([&] { return !text.isEmpty(); }, 20000))
        return QString();
    return text;
}

void PortSearchTest::findsTheTransmitterAmongPortsThatDoNotAnswer()
{
    Faults silent, otherDevice, garbage;
    silent.noAnswer = true;
    otherDevice.rejectedType = true;
    garbage.badCheckByte = true;
    for (const Faults &faults : {silent, otherDevice, garbage})
        addDecoy(faults);
    veltra::sim::DeviceState state = rig->sim().state();
    state.production.serial = 1042;
    state.production.firmware = "2.15";
    rig->sim().setState(state);
    const QString pty = QString::fromStdString(rig->sim().devicePath());
    rig->window().addPort(pty);
    auto *ports = rig->find<QComboBox>("comboPort");
    ports->setCurrentIndex(0);
    const int descriptors = openDescriptors();

    QCOMPARE(runSearch(), QStringLiteral("Прибор найден: %1, № 1042, версия 2.15").arg(pty));
    QVERIFY(ports->currentText().startsWith(pty + " | "));
    QCOMPARE(openDescriptors(), descriptors);
    for (const std::unique_ptr<Simulator> &decoy : decoys)
        QCOMPARE(decoy->requests().size(), size_t(1));
    QVERIFY(!rig->isConnected());

    QVERIFY(findDevice()->isEnabled());
    QVERIFY(rig->connectWindow());
    QVERIFY(!findDevice()->isEnabled());
    rig->disconnectWindow();
    QVERIFY(findDevice()->isEnabled());
}

void PortSearchTest::noAnswerAnywhereListsEveryPortTried()
{
    Faults silent, otherDevice;
    silent.noAnswer = true;
    otherDevice.rejectedType = true;
    const QString quiet = addDecoy(silent);
    const QString foreign = addDecoy(otherDevice);
    const QString vanishing = addDecoy(silent);
    const QString plainFile = addPath(QStringLiteral("plain"), true);
    const QString missing = addPath(QStringLiteral("missing"), false);
    // The far end of one port closes as soon as it has been asked.
    QTimer pull;
    connect(&pull, &QTimer::timeout, this, [&] {
        if (!decoys.at(2)->requests().empty()) {
            decoys.at(2)->hangUp();
            pull.stop();
        }
    });
    pull.start(5);

    const QStringList lines = runSearch().split('\n');
    QCOMPARE(lines.value(0), QStringLiteral("Прибор не найден. Опрошены порты:"));
    const QStringList expected{
        quiet + QStringLiteral(" — нет ответа"), foreign + QStringLiteral(" — ответ не от прибора"),
        vanishing + QStringLiteral(" — порт пропал"), missing + QStringLiteral(" — порт пропал")};
    for (const QString &line : expected)
        QVERIFY2(lines.contains(line), qPrintable(lines.join('\n')));
    QVERIFY2(!lines.filter(QRegularExpression("^" + plainFile + " — не открылся")).isEmpty(),
             qPrintable(lines.join('\n')));
}

void PortSearchTest::cancelledSearchStopsAndLeavesNoPortOpen()
{
    Faults silent;
    silent.noAnswer = true;
    addDecoy(silent);
    rig->window().addPort(QString::fromStdString(rig->sim().devicePath()));
    const int descriptors = openDescriptors();
    findDevice()->trigger();
    QTRY_VERIFY(!decoys.front()->requests().empty());
    auto *progress = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
    QVERIFY(progress);
    QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
    QTest::qWait(1500);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(rig->sim().requests().empty());
    QCOMPARE(openDescriptors(), descriptors);
}

QTEST_MAIN(PortSearchTest)
#include "tst_portsearch.moc"
