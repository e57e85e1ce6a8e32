#include "support/linktoline.h"
#include "support/simwindow.h"
#include "support/testsupport.h"
#include "testlog/csvformat.h"
#include "testlog/runevents.h"

#include <QComboBox>
#include <QDirIterator>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>

using TestSupport::SimWindow;

// Polling and test runs of a main window connected to the simulated transmitter
// over its pseudo-terminal: the timers, the tab rules, the CSV file of a run
// against the table, and that no row shown is ever missing from the file.
class TestRunTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pollingSendsAtOnceThenEveryThreeSeconds();
    void pollingStopThenStartSendsAtOnce();
    void pollingStartWithThePortClosedDoesNothing();
    void leavingTheDataTabStopsPollingAndTheRun_data();
    void leavingTheDataTabStopsPollingAndTheRun();
    void backToTheDataTabTheRunGoesOn();
    void pollingBesideARunLosesNoReply();

    void runFileAndTableAgreeRowForRow();
    void rowsStayWholeWhateverTheSortOrder();
    void newestRowIsInViewAtAnySize_data();
    void newestRowIsInViewAtAnySize();
    void twoRunsInOneSecondKeepBothFiles();
    void logThatCannotBeCreatedIsReportedAndNoRunStarts_data();
    void logThatCannotBeCreatedIsReportedAndNoRunStarts();
    void rowsThatCannotBeWrittenAreReportedOncePerRun();
    void everyEndOfARunClosesTheFile_data();
    void everyEndOfARunClosesTheFile();
    void aKilledProcessKeepsEveryRowItShowed();
    void aRunWaitsForItsLine_data();
    void aRunWaitsForItsLine();

private:
    QTableWidget *table() { return rig->find<QTableWidget>("table"); }
    QPushButton *button(const char *name) { return rig->find<QPushButton>(name); }
    int liveValueRequests() const;
    void feed(const QList<float> &values);
    void startRun();
    QStringList csvFiles() const;
    bool runIsLogging();

    QString originalDirectory;
    std::unique_ptr<QTemporaryDir> workDir;
    std::unique_ptr<SimWindow> rig;
};

namespace {

constexpr int DataTab = 0;
constexpr int TestingTab = 4;
const char *const ChildFlag = "--killed-run-child";

using TestSupport::liveValuesReply;

QList<QStringList> tableRows(const QTableWidget *table)
{
    QList<QStringList> rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < table->columnCount(); ++c)
            row.append(table->item(r, c) ? table->item(r, c)->text() : QStringLiteral("<none>"));
        rows.append(row);
    }
    return rows;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The rows of a CSV log after its header, each split into its fields. The
// header and the line ends are checked on the way.
QList<QStringList> csvRows(const QString &path)
{
    const QByteArray bytes = contents(path);
    const QByteArray header = CsvFormat::line(CsvFormat::headerFields());
    if (!bytes.startsWith(header) || !bytes.endsWith('\n') || bytes.contains('\r')) {
        QTest::qFail(qPrintable("bad header or line ends in " + path), __FILE__, __LINE__);
        return {};
    }
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(bytes.mid(header.size())).split('\n')) {
        if (!line.isEmpty())
            rows.append(line.split(QLatin1Char(';')));
    }
    return rows;
}

// Whether this process holds the file open, by its descriptors in /proc.
bool heldOpen(const QString &path)
{
    const QString wanted = QFileInfo(path).canonicalFilePath();
    QDirIterator fds(QStringLiteral("/proc/self/fd"), QDir::AllEntries | QDir::System);
    while (fds.hasNext()) {
        fds.next();
        if (fds.fileInfo().symLinkTarget() == wanted)
            return true;
    }
    return false;
}

} // namespace

void TestRunTest::initTestCase()
{
    TestSupport::watchWarnings();
}

void TestRunTest::init()
{
    originalDirectory = QDir::currentPath();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
    rig = std::make_unique<SimWindow>();
    QVERIFY(rig->connectWindow());
}

void TestRunTest::cleanup()
{
    rig.reset();
    QDir::setCurrent(originalDirectory);
    workDir.reset();
    QCOMPARE(TestSupport::takeWiringWarnings(), QStringList());
}

int TestRunTest::liveValueRequests() const
{
    int count = 0;
    for (const veltra::sim::Request &request : rig->sim().requests())
        count += request.type == 0 && request.command == 0 && request.payload.empty();
    return count;
}

void TestRunTest::feed(const QList<float> &values)
{
    QVERIFY(QMetaObject::invokeMethod(&rig->window(), "commandProcessing",
                                      Q_ARG(QByteArray, liveValuesReply(values))));
}

void TestRunTest::startRun()
{
    rig->find<QTabWidget>("tabWidget")->setCurrentIndex(TestingTab);
    rig->click("pushButtonStartTesting");
    QVERIFY(!button("pushButtonStartTesting")->isEnabled());
    QVERIFY(button("pushButtonStopTesting")->isEnabled());
}

QStringList TestRunTest::csvFiles() const
{
    return QDir(workDir->path()).entryList({"*.csv"}, QDir::Files, QDir::Name);
}

// A run is logging when a reply becomes a row and leaves the Data tab alone.
bool TestRunTest::runIsLogging()
{
    auto *shown = rig->find<QDoubleSpinBox>("preValue");
    const int rows = table()->rowCount();
    const double marker = shown->value() + 1.5;
    feed({float(marker), 0, 0, 0, 0});
    const bool logged = table()->rowCount() == rows + 1;
    const bool displayed = qFuzzyCompare(shown->value(), marker);
    if (logged == displayed)
        QTest::qFail("a reply was both logged and displayed, or neither", __FILE__, __LINE__);
    return logged;
}

void TestRunTest::pollingSendsAtOnceThenEveryThreeSeconds()
{
    rig->clearLine();
    rig->click("startButton");
    QTRY_COMPARE_WITH_TIMEOUT(liveValueRequests(), 1, 1000);
    QVERIFY(!button("startButton")->isEnabled());
    QVERIFY(button("stopButton")->isEnabled());

    QTest::qWait(2500);
    QCOMPARE(liveValueRequests(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(liveValueRequests(), 2, 1000);
    // The replies land on the Data tab.
    QTRY_VERIFY_WITH_TIMEOUT(rig->find<QDoubleSpinBox>("Iout")->value() >= 3.5, 2000);

    QCOMPARE(rig->find<QLabel>("liveValuesState")->text(), QString());
    rig->click("stopButton");
    QVERIFY(button("startButton")->isEnabled());
    QVERIFY(!button("stopButton")->isEnabled());
    // The last values stay, marked as no longer live.
    QVERIFY(rig->find<QLabel>("liveValuesState")
                ->text()
                .startsWith(QStringLiteral("Значения не обновляются (опрос остановлен)")));
    QCOMPARE(rig->find<QDoubleSpinBox>("Iout")->styleSheet(), QStringLiteral("color: gray;"));
    QTest::qWait(3300);
    QCOMPARE(liveValueRequests(), 2);
}

void TestRunTest::pollingStopThenStartSendsAtOnce()
{
    rig->click("startButton");
    QTest::qWait(2000);
    rig->clearLine();
    rig->click("stopButton");
    rig->click("startButton");
    QTRY_COMPARE_WITH_TIMEOUT(liveValueRequests(), 1, 1000);
    // The interval starts again from the restart, not from the first start.
    QTest::qWait(2400);
    QCOMPARE(liveValueRequests(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(liveValueRequests(), 2, 1000);
}

void TestRunTest::pollingStartWithThePortClosedDoesNothing()
{
    rig->disconnectWindow();
    rig->clearLine();
    const bool startEnabled = button("startButton")->isEnabled();
    QVERIFY(QMetaObject::invokeMethod(&rig->window(), "on_startButton_clicked"));
    QVERIFY(QMetaObject::invokeMethod(&rig->window(), "runCommandOne"));
    QVERIFY(QMetaObject::invokeMethod(&rig->window(), "on_pushButtonStartTesting_clicked"));
    QTest::qWait(300);
    QVERIFY(rig->lineBytes().isEmpty());
    QCOMPARE(button("startButton")->isEnabled(), startEnabled);
    QVERIFY(!button("stopButton")->isEnabled());
    QVERIFY(!button("pushButtonStopTesting")->isEnabled());
    QVERIFY(csvFiles().isEmpty());
}

void TestRunTest::leavingTheDataTabStopsPollingAndTheRun_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("Настройка") << 1;
    QTest::newRow("Производственные параметры") << 2;
    QTest::newRow("Калибровка") << 3;
}

void TestRunTest::leavingTheDataTabStopsPollingAndTheRun()
{
    QFETCH(int, index);
    auto *tabs = rig->find<QTabWidget>("tabWidget");
    // A run started on the Testing tab goes on on the Data tab, with polling on top.
    startRun();
    const QString file = QDir(workDir->path()).filePath(csvFiles().value(0));
    tabs->setCurrentIndex(DataTab);
    rig->click("startButton");
    QVERIFY(button("stopButton")->isEnabled());

    // The run ended by the tab says so at once, and the Testing tab keeps saying it.
    const TestSupport::ModalBox notice =
        TestSupport::closeNextModal([&] { tabs->setCurrentIndex(index); });
    const QString ended = QStringLiteral("переход на вкладку «%1»").arg(tabs->tabText(index));
    QCOMPARE(notice.title, QStringLiteral("Испытание завершено"));
    QVERIFY2(notice.text.startsWith(QStringLiteral("Испытание завершено: %1.").arg(ended)) &&
                 notice.text.contains(QFileInfo(file).fileName()),
             qPrintable(notice.text));
    QVERIFY(rig->find<QLabel>("testRunState")
                ->text()
                .startsWith(QStringLiteral("Испытание завершено (%1)").arg(ended)));
    QVERIFY(!button("stopButton")->isEnabled());
    QVERIFY(!button("pushButtonStopTesting")->isEnabled());
    QVERIFY(!heldOpen(file));
    QVERIFY(!runIsLogging());
    rig->settle();
    rig->clearLine();
    QTest::qWait(3300); // longer than both intervals
    QCOMPARE(liveValueRequests(), 0);

    // Back on the Data tab polling waits for "Старт".
    tabs->setCurrentIndex(DataTab);
    QVERIFY(button("startButton")->isEnabled());
    QVERIFY(!button("stopButton")->isEnabled());
}

void TestRunTest::backToTheDataTabTheRunGoesOn()
{
    auto *tabs = rig->find<QTabWidget>("tabWidget");
    startRun();
    QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 1, 1500);
    tabs->setCurrentIndex(DataTab);
    QVERIFY(button("startButton")->isEnabled());
    QVERIFY(!button("stopButton")->isEnabled());
    QVERIFY(!button("pushButtonStopTesting")->isEnabled());
    // The run's timer keeps asking, and its answers still become rows.
    QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 2, 3000);
    QVERIFY(runIsLogging());

    // Selecting the Testing tab itself ends the run.
    QVERIFY(TestSupport::closeNextModal([&] { tabs->setCurrentIndex(TestingTab); }).shown);
    QVERIFY(!runIsLogging());
    QVERIFY(!button("pushButtonStopTesting")->isEnabled());
}

void TestRunTest::pollingBesideARunLosesNoReply()
{
    // "Старт" right after the run has sent its first request: two requests due
    // at once, as they are whenever the two timers' ticks meet.
    startRun();
    rig->find<QTabWidget>("tabWidget")->setCurrentIndex(DataTab);
    rig->click("startButton");
    QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 2, 2500);
    QCOMPARE(liveValueRequests(), 2);
    // And the read of the serial number that follows a run's first reply.
    QCOMPARE(rig->sim().repliesSent(), size_t(3));
}

void TestRunTest::runFileAndTableAgreeRowForRow()
{
    // The cold-junction value as shown is (t - ocr) / fsr: this makes it -0.050.
    veltra::sim::DeviceState state = rig->sim().state();
    state.cj.fsr = 10000.0f;
    state.cj.ocr = 523.0f;
    rig->sim().setState(state);

    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    QSignalSpy runStarted(&rig->window(), &MainWindow::testRunStarted);
    QSignalSpy logged(&rig->window(), &MainWindow::testRowLogged);
    startRun();
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(runStarted.count(), 1);
    // Nothing was read before the run: its report will have no range.
    QVERIFY(!rig->find<QLabel>("runNoSettingsHint")->isHidden());
    // The first row comes at once, the next ones every 2000 ms.
    QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 1, 1500);
    QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 3, 5000);
    rig->click("pushButtonStopTesting");
    const QDateTime end = QDateTime::currentDateTime();

    const QStringList files = csvFiles();
    QCOMPARE(files.size(), 1);
    const QRegularExpressionMatch name =
        QRegularExpression("^(\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d)\\.csv$")
            .match(files.first());
    QVERIFY2(name.hasMatch(), qPrintable(files.first()));
    const QDateTime started =
        QDateTime::fromString(name.captured(1), QStringLiteral("dd.MM.yy hh.mm.ss")).addYears(100);
    QVERIFY2(started >= before && started <= after, qPrintable(started.toString()));

    const QList<QStringList> rows = csvRows(QDir(workDir->path()).filePath(files.first()));
    QCOMPARE(rows.size(), 3);
    const QRegularExpression value("^-?\\d+\\.\\d{3}$");
    for (const QStringList &row : rows) {
        QCOMPARE(row.size(), CsvFormat::FieldCount);
        const QDateTime time = QDateTime::fromString(row[0], QStringLiteral("dd.MM.yyyy hh:mm:ss"));
        QVERIFY2(time.isValid() && time >= before && time <= end, qPrintable(row[0]));
        for (int field = 1; field < CsvFormat::FieldCount; ++field)
            QVERIFY2(value.match(row[field]).hasMatch(), qPrintable(row[field]));
        QCOMPARE(row[4], QStringLiteral("-0.050"));
        const double current = row[5].toDouble();
        QVERIFY2(current >= 3.8 && current <= 20.5, qPrintable(row[5]));
    }
    QCOMPARE(tableRows(table()), rows);
    // Each row is handed on as logged, for the chart.
    QCOMPARE(logged.count(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(
            CsvFormat::rowFields(logged[i][0].toDateTime(), logged[i][1].value<QList<double>>()),
            rows[i]);
}

void TestRunTest::rowsStayWholeWhateverTheSortOrder()
{
    veltra::sim::Faults quiet;
    quiet.noAnswer = true;
    rig->sim().setFaults(quiet);
    startRun();
    QList<QStringList> fed;
    const int sortings[][2] = {{0, Qt::AscendingOrder},
                               {3, Qt::DescendingOrder},
                               {5, Qt::AscendingOrder},
                               {1, Qt::DescendingOrder}};
    int serial = 0;
    for (const auto &sorting : sortings) {
        table()->sortByColumn(sorting[0], Qt::SortOrder(sorting[1]));
        for (int i = 0; i < 25; ++i, ++serial) {
            // Repeating values, so that many rows compare equal in any column.
            const QList<float> values{float(serial % 7), float(-serial % 5) * 0.05f, float(serial),
                                      float(serial % 3), float(4 + serial % 4)};
            feed(values);
        }
    }
    const QList<QStringList> shown = tableRows(table());
    const QList<QStringList> written = csvRows(QDir(workDir->path()).filePath(csvFiles().value(0)));
    QCOMPARE(shown.size(), serial);
    // Value 3 is unique to each reply: the row holding it holds that reply's texts.
    for (const QStringList &row : shown) {
        const int n = int(row[3].toDouble());
        QCOMPARE(row[1], CsvFormat::valueText(n % 7));
        QCOMPARE(row[2], CsvFormat::valueText(double(float(-n % 5) * 0.05f)));
        QCOMPARE(row[4], CsvFormat::valueText(n % 3));
        QCOMPARE(row[5], CsvFormat::valueText(4 + n % 4));
    }
    QList<QStringList> sortedShown = shown;
    QList<QStringList> sortedWritten = written;
    std::sort(sortedShown.begin(), sortedShown.end());
    std::sort(sortedWritten.begin(), sortedWritten.end());
    QCOMPARE(sortedShown, sortedWritten);
    // The last order chosen holds for the rows added after it.
    for (int r = 1; r < shown.size(); ++r)
        QVERIFY(shown[r - 1][1].toDouble() >= shown[r][1].toDouble());
}

void TestRunTest::newestRowIsInViewAtAnySize_data()
{
    QTest::addColumn<bool>("largest"); // the window's largest size, or its smallest
    QTest::addColumn<int>("order");    // -1: the table as the form sets it up
    for (const bool largest : {false, true}) {
        const QByteArray size = largest ? "largest window" : "smallest window";
        QTest::newRow(size + ", form's order") << largest << -1;
        QTest::newRow(size + ", oldest first") << largest << int(Qt::AscendingOrder);
        QTest::newRow(size + ", newest first") << largest << int(Qt::DescendingOrder);
    }
}

// The table cannot be scrolled by hand, so it follows the newest row itself.
void TestRunTest::newestRowIsInViewAtAnySize()
{
    QFETCH(bool, largest);
    QFETCH(int, order);
    veltra::sim::Faults quiet;
    quiet.noAnswer = true;
    rig->sim().setFaults(quiet);
    MainWindow &window = rig->window();
    window.resize(largest ? window.maximumSize().boundedTo(QSize(4000, 4000))
                          : window.minimumSize());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QHeaderView *header = table()->horizontalHeader();
    if (order >= 0)
        table()->sortByColumn(0, Qt::SortOrder(order));
    const int sortColumn = header->sortIndicatorSection();
    const Qt::SortOrder sortOrder = header->sortIndicatorOrder();
    startRun();
    // A run keeps the sort it finds.
    QCOMPARE(header->sortIndicatorSection(), sortColumn);
    QCOMPARE(header->sortIndicatorOrder(), sortOrder);

    int fed = 0;
    // Until the view is full, then a few rows more.
    for (int beyond = 0; beyond < 5 && fed < 500; ++fed) {
        QTest::qWait(2); // rows of one instant would keep their order of arrival
        feed({float(fed), -1, -1, -1, -1});
        const QList<QTableWidgetItem *> found =
            table()->findItems(CsvFormat::valueText(fed), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        QTableWidgetItem *newest = found.first();
        if (order == Qt::DescendingOrder)
            QCOMPARE(newest->row(), 0);
        else if (order == Qt::AscendingOrder)
            QCOMPARE(newest->row(), table()->rowCount() - 1);
        QTRY_VERIFY2_WITH_TIMEOUT(
            table()->viewport()->rect().contains(table()->visualItemRect(newest)),
            qPrintable(QString("row %1 of %2 is out of view").arg(newest->row()).arg(fed + 1)),
            1000);
        beyond += table()->verticalScrollBar()->maximum() > 0;
    }
    QVERIFY2(fed > 10 && fed < 500, qPrintable(QString::number(fed)));
}

void TestRunTest::twoRunsInOneSecondKeepBothFiles()
{
    veltra::sim::Faults quiet;
    quiet.noAnswer = true;
    rig->sim().setFaults(quiet);
    // Start early in a second, so that both runs fall into it.
    QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().msec() < 300, 1500);
    const QDateTime start = QDateTime::currentDateTime();
    startRun();
    feed({1, 1, 1, 1, 1});
    rig->click("pushButtonStopTesting");
    startRun();
    feed({2, 2, 2, 2, 2});
    rig->click("pushButtonStopTesting");
    QCOMPARE(QDateTime::currentDateTime().toSecsSinceEpoch(), start.toSecsSinceEpoch());

    const QString first = CsvFormat::fileName(start);
    const QString second = CsvFormat::fileName(start, 2);
    QStringList files = csvFiles();
    std::sort(files.begin(), files.end());
    QStringList expected{first, second};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(files, expected);
    const QList<QStringList> firstRows = csvRows(QDir(workDir->path()).filePath(first));
    const QList<QStringList> secondRows = csvRows(QDir(workDir->path()).filePath(second));
    QCOMPARE(firstRows.size(), 1);
    QCOMPARE(firstRows[0].value(1), QStringLiteral("1.000"));
    QCOMPARE(secondRows.size(), 1);
    QCOMPARE(secondRows[0].value(1), QStringLiteral("2.000"));
    QCOMPARE(table()->rowCount(), 2);
}

void TestRunTest::logThatCannotBeCreatedIsReportedAndNoRunStarts_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("working directory removed") << "removed";
    QTest::newRow("working directory read-only") << "read-only";
}

void TestRunTest::logThatCannotBeCreatedIsReportedAndNoRunStarts()
{
    QFETCH(QString, obstacle);
    const QString blocked = workDir->filePath("blocked");
    QVERIFY(QDir().mkdir(blocked));
    QVERIFY(QDir::setCurrent(blocked));
    if (obstacle == QLatin1String("removed")) {
        QVERIFY(QDir().rmdir(blocked));
    } else {
        QVERIFY(QFile::setPermissions(blocked, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(QDir(blocked).filePath("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(blocked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("this user may write into read-only directories");
        }
    }
    rig->find<QTabWidget>("tabWidget")->setCurrentIndex(TestingTab);
    rig->clearLine();

    const QDateTime before = QDateTime::currentDateTime();
    const TestSupport::ModalBox box =
        TestSupport::closeNextModal([this] { rig->click("pushButtonStartTesting"); });
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(box.shown);
    QCOMPARE(box.title, QStringLiteral("Внимание!"));
    QVERIFY2(box.text.contains(CsvFormat::fileName(before)) ||
                 box.text.contains(CsvFormat::fileName(after)),
             qPrintable(box.text));
    QVERIFY2(box.text.contains(QStringLiteral("Не удалось создать файл")), qPrintable(box.text));

    QVERIFY(button("pushButtonStartTesting")->isEnabled());
    QVERIFY(!button("pushButtonStopTesting")->isEnabled());
    QVERIFY(!runIsLogging());
    QCOMPARE(table()->rowCount(), 0);
    QTest::qWait(2300); // a run's timer would have asked by now
    QVERIFY(rig->lineBytes().isEmpty());

    QFile::setPermissions(blocked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir::setCurrent(workDir->path());
}

void TestRunTest::rowsThatCannotBeWrittenAreReportedOncePerRun()
{
    veltra::sim::Faults quiet;
    quiet.noAnswer = true;
    rig->sim().setFaults(quiet);
    for (int run = 0; run < 2; ++run) {
        startRun();
        const QString file = QDir(workDir->path()).filePath(csvFiles().value(0));
        feed({1, 2, 3, 4, 5});
        QVERIFY(QFile::remove(file));
        const int rows = table()->rowCount();
        TestSupport::ModalWatcher watcher;
        for (int i = 0; i < 3; ++i)
            feed({float(i), 2, 3, 4, 5});
        QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes().size(), 1, 2000);
        QTest::qWait(100);
        QCOMPARE(watcher.boxes().size(), 1);
        QCOMPARE(watcher.boxes().first().title, QStringLiteral("Внимание!"));
        QVERIFY2(watcher.boxes().first().text.contains(QFileInfo(file).fileName()),
                 qPrintable(watcher.boxes().first().text));
        // The rows are still shown: nothing is dropped without a word.
        QCOMPARE(table()->rowCount(), rows + 3);
        rig->click("pushButtonStopTesting");
    }
}

void TestRunTest::everyEndOfARunClosesTheFile_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QString>("cause"); // as the run's events name it
    QTest::newRow("Стоп") << "stop"
                          << "Стоп";
    QTest::newRow("another tab") << "tab"
                                 << "переход на вкладку «Настройка»";
    QTest::newRow("disconnect") << "disconnect"
                                << "отключение";
    QTest::newRow("a new run") << "new run"
                               << "Стоп";
    QTest::newRow("closing the window") << "close"
                                        << "закрытие окна";
    QTest::newRow("destruction") << "destroy"
                                 << "отключение";
}

void TestRunTest::everyEndOfARunClosesTheFile()
{
    QFETCH(QString, ending);
    QFETCH(QString, cause);
    if (!QFileInfo::exists(QStringLiteral("/proc/self/fd")))
        QSKIP("needs /proc to see open files");
    veltra::sim::Faults quiet;
    quiet.noAnswer = true;
    rig->sim().setFaults(quiet);
    startRun();
    const QString file = QDir(workDir->path()).filePath(csvFiles().value(0));
    feed({1, 2, 3, 4, 5});
    QVERIFY(heldOpen(file));

    if (ending == QLatin1String("stop")) {
        rig->click("pushButtonStopTesting");
    } else if (ending == QLatin1String("tab")) {
        TestSupport::closeNextModal(
            [&] { rig->find<QTabWidget>("tabWidget")->setCurrentIndex(1); });
    } else if (ending == QLatin1String("disconnect")) {
        rig->disconnectWindow();
    } else if (ending == QLatin1String("new run")) {
        QVERIFY(QMetaObject::invokeMethod(&rig->window(), "on_pushButtonStartTesting_clicked"));
        QCOMPARE(csvFiles().size(), 2);
        QVERIFY(runIsLogging());
        // One file object at a time: the previous one is gone, not just closed.
        QCOMPARE(rig->window().findChildren<QFile *>().size(), 1);
    } else if (ending == QLatin1String("close")) {
        // Asked first: "No" keeps the window and the run.
        const auto close = [&] { rig->window().close(); };
        QCOMPARE(TestSupport::closeNextModal(close, 3000, QMessageBox::No).title,
                 QStringLiteral("Идёт испытание"));
        QVERIFY(heldOpen(file));
        QVERIFY(TestSupport::closeNextModal(close).shown);
    } else {
        rig.reset();
    }
    QVERIFY(!heldOpen(file));
    if (rig && ending != QLatin1String("new run"))
        QVERIFY(!runIsLogging());
    if (ending == QLatin1String("disconnect")) {
        // The next connection starts afresh with a new run and a new file.
        QVERIFY(rig->connectWindow());
        QVERIFY(button("pushButtonStartTesting")->isEnabled());
        QVERIFY(!button("pushButtonStopTesting")->isEnabled());
    }
    QCOMPARE(csvRows(file).size(), 1);
    // The run's events say when it started, on what, and why it ended.
    QFile events(RunEvents::pathFor(file));
    QVERIFY(events.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(events.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.first().contains(QStringLiteral("Начало испытания, файл %1. Прибор не считан")
                                        .arg(QFileInfo(file).fileName())),
             qPrintable(lines.first()));
    QVERIFY2(lines.last().endsWith(QStringLiteral("Конец испытания: %1. Строк: 1").arg(cause)),
             qPrintable(lines.last()));
}

void TestRunTest::aRunWaitsForItsLine_data()
{
    QTest::addColumn<int>("serialBack"); // the serial number read when the line is back
    QTest::newRow("the same transmitter") << 1;
    QTest::newRow("another transmitter") << 1043;
}

// The line vanishes under a run and comes back under the same name (a link the
// test owns, as a USB adapter's port comes back): the run waits for it, reads
// the serial number again and goes on in the same file, unless another
// transmitter answers.
void TestRunTest::aRunWaitsForItsLine()
{
    QFETCH(int, serialBack);
    TestSupport::LinkToLine line;
    const QString link = line.path();
    rig->disconnectWindow();
    QVERIFY(line.pointAt(QString::fromStdString(rig->sim().devicePath())));
    rig->window().addPort(link);
    rig->click("buttonConnect");
    rig->click("buttonReadDeviceInfo");
    QTRY_COMPARE(rig->find<QLabel>("deviceLabel")->text(), QStringLiteral("Прибор № 1"));
    startRun();
    QTRY_VERIFY_WITH_TIMEOUT(table()->rowCount() >= 2, 5000);

    TestSupport::ModalWatcher boxes;
    rig->sim().hangUp();
    // Gone for good until the link points at a line again: the number of the
    // closed pseudo-terminal may meanwhile be another test's.
    QVERIFY(line.cut());
    auto *status = rig->window().statusBar()->findChild<QLabel *>();
    QTRY_COMPARE(status->text(), QStringLiteral("RECONNECT"));
    QVERIFY(button("pushButtonStopTesting")->isEnabled());
    QVERIFY(!rig->find<QComboBox>("comboPort")->isEnabled());
    const int rowsBefore = table()->rowCount();
    QTest::qWait(2500); // a reopen or two fail meanwhile
    veltra::sim::DeviceState state = rig->sim().state();
    state.production.serial = serialBack;
    rig->sim().setState(state);
    QVERIFY(rig->sim().openPty());
    rig->sim().start();
    QVERIFY(line.pointAt(QString::fromStdString(rig->sim().devicePath())));

    const QString file = QDir(workDir->path()).filePath(csvFiles().value(0));
    if (serialBack == 1) {
        QTRY_VERIFY_WITH_TIMEOUT(table()->rowCount() >= rowsBefore + 2, 8000);
        QCOMPARE(csvFiles().size(), 1);
        QCOMPARE(csvRows(file), tableRows(table()));
        QVERIFY(boxes.boxes().isEmpty());
        QVERIFY(runIsLogging());
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes().size(), 1, 8000);
        QVERIFY(boxes.boxes().first().text.startsWith(
            QStringLiteral("На линии другой прибор: № 1043 вместо № 1.")));
        QVERIFY(!runIsLogging());
        QCOMPARE(table()->rowCount(), rowsBefore);
    }
    QFile events(RunEvents::pathFor(file));
    QVERIFY(events.open(QIODevice::ReadOnly));
    const QString told = QString::fromUtf8(events.readAll());
    QVERIFY(told.contains(QStringLiteral("Связь потеряна: порт ") + link));
    QCOMPARE(told.contains(QStringLiteral("Связь восстановлена: порт %1, прибор № 1").arg(link)),
             serialBack == 1);
    QVERIFY(rig->isConnected());
}

// The child runs a window with a run on, feeds rows through the reply path as
// fast as it can and says after each row which row the table now shows; the
// parent kills it with SIGKILL in the middle and reads the file.
void TestRunTest::aKilledProcessKeepsEveryRowItShowed()
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {ChildFlag, workDir->path()});
    QVERIFY(child.waitForStarted());
    QByteArray output;
    QElapsedTimer elapsed;
    elapsed.start();
    while (output.count("shown ") < 200 && elapsed.elapsed() < 20000 &&
           child.state() == QProcess::Running) {
        child.waitForReadyRead(100);
        output += child.readAllStandardOutput();
    }
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        QVERIFY(child.waitForFinished());
    }
    output += child.readAllStandardOutput();
    QVERIFY2(child.exitStatus() == QProcess::CrashExit,
             qPrintable(QStringLiteral("the child ended by itself with %1 after %2 lines")
                            .arg(child.exitCode())
                            .arg(output.count("shown "))));

    QList<QStringList> shown;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("shown "))
            shown.append(QString::fromUtf8(line.mid(6)).split(QLatin1Char(';')));
    }
    // The last line may have been cut short by the kill.
    if (!output.endsWith('\n') && !shown.isEmpty())
        shown.removeLast();
    QVERIFY2(shown.size() >= 200, output.left(2000).constData());

    const QStringList files = csvFiles();
    QCOMPARE(files.size(), 1);
    const QList<QStringList> written = csvRows(QDir(workDir->path()).filePath(files.first()));
    QVERIFY2(
        written.size() >= shown.size(),
        qPrintable(QString("%1 rows written, %2 shown").arg(written.size()).arg(shown.size())));
    QCOMPARE(written.mid(0, shown.size()), shown);
}

namespace {

int runKilledRunChild(const QString &directory)
{
    QDir::setCurrent(directory);
    SimWindow rig;
    veltra::sim::Faults quiet;
    quiet.noAnswer = true;
    rig.sim().setFaults(quiet);
    if (!rig.connectWindow())
        return 2;
    rig.click("pushButtonStartTesting");
    auto *table = rig.find<QTableWidget>("table");
    for (int i = 0; i < 1000000; ++i) {
        QMetaObject::invokeMethod(&rig.window(), "commandProcessing",
                                  Q_ARG(QByteArray, liveValuesReply({float(i), -0.05f, 3, 4, 5})));
        // The form sorts by no column, so rows stay in their order of arrival.
        const int last = table->rowCount() - 1;
        QStringList row;
        for (int c = 0; c < table->columnCount(); ++c)
            row.append(table->item(last, c)->text());
        std::printf("shown %s\n", row.join(QLatin1Char(';')).toUtf8().constData());
        std::fflush(stdout);
        QCoreApplication::processEvents();
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], ChildFlag) == 0)
        return runKilledRunChild(QString::fromLocal8Bit(argv[2]));
    TestRunTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_testrun.moc"
