#include "rack/rackline.h"
#include "rack/rackwindow.h"
#include "session/devicesession.h"
#include "sim/simulator.h"
#include "support/linktoline.h"
#include "support/simwindow.h"
#include "support/testsupport.h"
#include "testlog/csvformat.h"
#include "testlog/runevents.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <vector>

using TestSupport::startSimulator;
using veltra::sim::Simulator;

namespace {

// The times of a run file's rows, in milliseconds since the epoch.
QList<qint64> rowTimes(const QString &csvPath)
{
    QFile file(csvPath);
    QList<qint64> times;
    if (!file.open(QIODevice::ReadOnly))
        return times;
    file.readLine(); // the header
    while (!file.atEnd()) {
        const QString time = QString::fromUtf8(file.readLine()).section(QLatin1Char(';'), 0, 0);
        times << QDateTime::fromString(time, QStringLiteral("dd.MM.yyyy hh:mm:ss"))
                     .toMSecsSinceEpoch();
    }
    return times;
}

// Rows come every 2 s: none missing, none between.
bool rowsEveryTwoSeconds(const QList<qint64> &times)
{
    for (int i = 1; i < times.size(); ++i)
        if (times[i] - times[i - 1] < 1500 || times[i] - times[i - 1] > 3500)
            return false;
    return true;
}

QString eventsText(const QString &csvPath)
{
    QFile file(RunEvents::pathFor(csvPath));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// The rack over real pseudo-terminals, a simulator of its own at the far end
// of each line, so that one line can misbehave alone.
class RackTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::watchWarnings(); }

    void init()
    {
        workDir = std::make_unique<QTemporaryDir>();
        QVERIFY(workDir->isValid());
        QVERIFY(QDir::setCurrent(workDir->path()));
        rack = std::make_unique<RackWindow>();
        rack->show();
    }

    void cleanup()
    {
        rowSpies.clear();
        rack.reset();
        simulators.clear();
        links.clear();
        QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
    }

    // One line's cable pulled and put back: that line goes on in the same
    // file, the others never miss a row, and nobody is asked anything.
    void linesRecordAndALostLineComesBackInItsFile()
    {
        TestSupport::ModalWatcher boxes;
        addLines({1001, 1002, 1003});
        connectAndStart();

        for (RackLine *line : rack->lines())
            QTRY_VERIFY_WITH_TIMEOUT(line->rows() >= 2, 10000);
        RackLine *pulled = rack->lines().at(1);
        const QString pulledFile = pulled->runFile();
        simulators[1]->hangUp();
        QVERIFY(links[1]->cut());
        QTRY_COMPARE_WITH_TIMEOUT(pulled->stateWord(), QStringLiteral("RECONNECT"), 10000);
        const int rowsWhileAway = pulled->rows();
        QTest::qWait(4000);
        QCOMPARE(pulled->rows(), rowsWhileAway);

        simulators[1] = startSimulator(1002);
        QVERIFY(simulators[1]);
        QVERIFY(links[1]->pointAt(QString::fromStdString(simulators[1]->devicePath())));
        QTRY_VERIFY_WITH_TIMEOUT(pulled->rows() >= rowsWhileAway + 2, 15000);
        QVERIFY(pulled->isRunning());
        QCOMPARE(pulled->runFile(), pulledFile);
        rack->findChild<QPushButton *>(QStringLiteral("rackStopAll"))->click();

        const QStringList files =
            QDir(QStringLiteral("runs")).entryList({QStringLiteral("*.csv")}, QDir::Files);
        QCOMPARE(files.size(), 3);
        for (RackLine *line : rack->lines()) {
            const QList<qint64> times = rowTimes(line->runFile());
            QCOMPARE(times.size(), line->rows());
            const QFileInfo file(line->runFile());
            QCOMPARE(file.dir().dirName(), QStringLiteral("runs"));
            QVERIFY2(file.fileName().startsWith(line->serialText().mid(2) + QLatin1Char(' ')),
                     qPrintable(file.fileName()));
        }
        for (int i : {0, 2})
            QVERIFY2(rowsEveryTwoSeconds(loggedTimes(i)), qPrintable(rack->lines().at(i)->port()));
        const QString events = eventsText(pulledFile);
        QVERIFY2(events.contains(QStringLiteral("Связь потеряна")), qPrintable(events));
        QVERIFY2(events.contains(QStringLiteral("Связь восстановлена")), qPrintable(events));

        rack->findChild<QPushButton *>(QStringLiteral("rackReports"))->click();
        const QDir reports(QStringLiteral("reports"));
        QCOMPARE(reports.entryList({QStringLiteral("*.pdf")}).size(), 4);
        const QStringList summaries = reports.entryList({QStringLiteral("Стенд *.pdf")});
        QCOMPARE(summaries.size(), 1);
        const QString summary = TestSupport::pdfText(reports.filePath(summaries.first()));
        for (const char *serial : {"1001", "1002", "1003"})
            QVERIFY2(summary.contains(serial), qPrintable(summary));
        QCOMPARE(summary.count(QStringLiteral("Годен")), 3);
        QCOMPARE(boxes.boxes().size(), 0);
    }

    // A line that floods its port keeps its own worker busy, not the others.
    void aFloodingLineDelaysNoOther()
    {
        TestSupport::ModalWatcher boxes;
        addLines({2001, 2002});
        veltra::sim::Faults flood;
        flood.flood = true;
        simulators.push_back(startSimulator(2003, flood));
        QVERIFY(simulators.back());
        QVERIFY(rack->addLine(QString::fromStdString(simulators.back()->devicePath())));
        connectAndStart();
        QTest::qWait(9000);
        rack->findChild<QPushButton *>(QStringLiteral("rackStopAll"))->click();
        for (int i = 0; i < 2; ++i) {
            const QList<qint64> times = loggedTimes(i);
            QVERIFY2(times.size() >= 4, qPrintable(QString::number(times.size())));
            QVERIFY2(rowsEveryTwoSeconds(times), qPrintable(rack->lines().at(i)->port()));
        }
        QCOMPARE(rack->lines().at(2)->rows(), 0);
        QCOMPARE(boxes.boxes().size(), 0);
    }

    // A port is the rack's or another window's, never both; whoever comes
    // second is told who has it.
    void aPortHasOneOwner()
    {
        addLines({3001, 3002});
        DeviceSession main(QStringLiteral("главное окно"));
        QVERIFY(rack->lines().at(1)->connectLine());
        QString whyNot;
        QVERIFY(!main.connectTo(links[1]->path(), &whyNot));
        QCOMPARE(whyNot, QStringLiteral("занят: стенд, порт %1").arg(links[1]->path()));
        QVERIFY(main.connectTo(links[0]->path()));
        rack->lines().at(0)->connectLine();
        QVERIFY(!rack->lines().at(0)->isConnected());
        QCOMPARE(rack->lines().at(0)->notice(),
                 QStringLiteral("Не подключено: занят: главное окно"));
        main.disconnectLine();
    }

    // Closing the rack during runs asks once for all of them; "Нет" keeps
    // them, "Да" ends them with their rows.
    void closingDuringRunsAsksOnce()
    {
        addLines({4001, 4002});
        connectAndStart();
        QTRY_VERIFY_WITH_TIMEOUT(rack->lines().at(1)->rows() >= 1, 5000);
        const QString text = QStringLiteral("Идут испытания на стенде: 2. Завершить все?");
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            const TestSupport::ModalBox box =
                TestSupport::closeNextModal([&] { rack->close(); }, 3000, answer);
            QCOMPARE(box.title, QStringLiteral("Стенд"));
            QCOMPARE(box.text, text);
            QCOMPARE(rack->runningCount(), answer == QMessageBox::No ? 2 : 0);
        }
        for (RackLine *line : rack->lines()) {
            QVERIFY(!line->isConnected());
            QCOMPARE(rowTimes(line->runFile()).size(), line->rows());
        }
    }

private:
    void addLines(const QList<qint32> &serials)
    {
        for (qint32 serial : serials) {
            simulators.push_back(startSimulator(serial));
            QVERIFY(simulators.back());
            links.push_back(std::make_unique<TestSupport::LinkToLine>());
            QVERIFY(links.back()->pointAt(QString::fromStdString(simulators.back()->devicePath())));
            QVERIFY(rack->addLine(links.back()->path()));
        }
    }

    // Connects every line and starts all at once, as a hurried user does: the
    // runs still start with the device and its range read.
    void connectAndStart()
    {
        for (RackLine *line : rack->lines())
            rowSpies.push_back(
                std::make_unique<QSignalSpy>(line->session(), &DeviceSession::rowLogged));
        rack->findChild<QPushButton *>(QStringLiteral("rackConnectAll"))->click();
        rack->findChild<QPushButton *>(QStringLiteral("rackStartAll"))->click();
        for (int i = 0; i < int(links.size()); ++i) {
            RackLine *line = rack->lines().at(i);
            QTRY_VERIFY_WITH_TIMEOUT(line->isRunning(), 5000);
            const qint32 serial = simulators[size_t(i)]->state().production.serial;
            QCOMPARE(line->serialText(), QStringLiteral("№ %1").arg(serial));
            QVERIFY2(eventsText(line->runFile()).contains(QStringLiteral("; диапазон: ")),
                     qPrintable(eventsText(line->runFile())));
        }
    }

    // The times of the rows each line logged, to the millisecond.
    QList<qint64> loggedTimes(int line) const
    {
        QList<qint64> times;
        for (const QList<QVariant> &row : *rowSpies.at(size_t(line)))
            times << row.first().toDateTime().toMSecsSinceEpoch();
        return times;
    }

    std::vector<std::unique_ptr<QSignalSpy>> rowSpies;
    std::unique_ptr<QTemporaryDir> workDir; // runs go to "runs" in the working directory
    std::unique_ptr<RackWindow> rack;
    std::vector<std::unique_ptr<Simulator>> simulators;
    std::vector<std::unique_ptr<TestSupport::LinkToLine>> links;
};

QTEST_MAIN(RackTest)
#include "tst_rack.moc"
