#include "app/mainwindow.h"

#include "app/userfile.h"
#include "testlog/csvformat.h"
#include "testlog/devicedescription.h"
#include "testlog/logtable.h"
#include "testlog/testlogfile.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

// Test runs: while a run is on, every LiveValues reply becomes one line of the
// run's CSV file and one row of the table on the Testing tab, the line first,
// so that no row is ever shown that the file does not hold.

namespace {

QString fileNameOf(const QFile *file)
{
    return file ? QFileInfo(file->fileName()).fileName() : QString();
}

} // namespace

void MainWindow::on_pushButtonStartTesting_clicked()
{
    if (!serialPort.isOpen())
        return;

    const QDateTime start = QDateTime::currentDateTime();
    auto *log = new TestLogFile(this);
    if (!log->create(QDir::currentPath(), start)) {
        const QString path = UserFile::shownPath(log->fileName());
        delete log;
        showInformation(QStringLiteral("Внимание!"),
                        QStringLiteral("Не удалось создать файл журнала\n%1\n"
                                       "Тестирование не запущено.")
                            .arg(path));
        return;
    }
    // A run still going ends here; the previous run's file object goes.
    endTestRun(RunEnd::Stop);
    delete testLogFile;
    testLogFile = log;
    runRows = 0;
    sessionErrorShown = false;

    // The table keeps whatever sort it has: the new rows take the places it
    // gives them and the newest one is scrolled into view.

    emit testRunStarted(); // before the first row can arrive
    testRunning = true;
    const bool eventsOpen = runEvents.create(log->fileName());
    noteRunEvent(
        QStringLiteral("Начало испытания, файл %1. %2").arg(fileNameOf(log), describeDevice()));
    runCommandOne();
    testTimer.start();
    ui->pushButtonStartTesting->setEnabled(false);
    ui->pushButtonStopTesting->setEnabled(true);
    ui->testRunState->setText(
        QStringLiteral("Идёт испытание: %1, строк: 0").arg(fileNameOf(testLogFile)));
    updateLiveValuesState();
    if (!eventsOpen)
        showInformation(QStringLiteral("Внимание!"),
                        QStringLiteral("Не удалось создать файл событий испытания\n%1\n"
                                       "Испытание идёт, его строки записываются.")
                            .arg(UserFile::shownPath(runEvents.fileName())));
}

void MainWindow::on_pushButtonStopTesting_clicked()
{
    endTestRun(RunEnd::Stop);
    ui->pushButtonStartTesting->setEnabled(serialPort.isOpen());
    ui->pushButtonStopTesting->setEnabled(false);
}

void MainWindow::logLiveValues(const QList<double> &values)
{
    auto *log = qobject_cast<TestLogFile *>(testLogFile);
    if (!testRunning || !log)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList fields = CsvFormat::rowFields(now, values);
    const TestLogFile::RowOutcome outcome = log->writeRow(fields);
    LogTable::appendRow(ui->table, now, values);
    ++runRows;
    ui->testRunState->setText(
        QStringLiteral("Идёт испытание: %1, строк: %2").arg(fileNameOf(log)).arg(runRows));
    emit testRowLogged(now, values);
    // Shown from within reply processing: replies that come meanwhile wait.
    if (outcome == TestLogFile::RowOutcome::FirstFailure)
        showInformation(QStringLiteral("Внимание!"),
                        QStringLiteral("Не удалось записать строку в файл журнала\n%1\n"
                                       "Строки этого испытания, начиная с этой, "
                                       "могут отсутствовать в файле.")
                            .arg(UserFile::shownPath(log->fileName())));
}

void MainWindow::noteRunEvent(const QString &text)
{
    if (!testRunning)
        return;
    if (!runEvents.add(QDateTime::currentDateTime(), text))
        showInformation(QStringLiteral("Внимание!"),
                        QStringLiteral("Не удалось записать событие в файл событий испытания\n%1")
                            .arg(UserFile::shownPath(runEvents.fileName())));
}

// The device as this connection has read it; what was not read is said to be so.
QString MainWindow::describeDevice() const
{
    DeviceDescription device;
    if (const auto &info = deviceRecord.info)
        device.identity = DeviceDescription::Identity{
            info->serialNumber, info->firmware,
            QLocale::c().toString(info->date(), QStringLiteral("dd.MM.yyyy"))};
    if (const auto &probe = deviceRecord.probe) {
        DeviceDescription::Settings &settings = device.settings.emplace();
        settings.element = ui->comboGradType->itemText(probe->kind());
        const int position = catalogue.decodePosition(probe->kindByte, probe->code);
        if (position >= 0)
            settings.type = SensorCatalogue::typeNames(probe->kind()).value(position);
        settings.lower = probe->lower;
        settings.upper = probe->upper;
        settings.dampingBuffer = probe->dampingBuffer;
        settings.compensation = probe->compensation;
        settings.hysteresis = probe->hysteresis;
    }
    device.correction = deviceRecord.correction;
    return device.text();
}

QString MainWindow::runFileShown() const
{
    return testLogFile ? UserFile::shownPath(testLogFile->fileName()) : QString();
}

// A run that ended by anything but the user's "Стоп" says so in a box, with
// its file and the rows it holds.
void MainWindow::tellRunEnded(const QString &why)
{
    showInformation(
        QStringLiteral("Испытание завершено"),
        QStringLiteral("%1\nФайл: %2\nЗаписано строк: %3").arg(why, runFileShown()).arg(runRows));
}

// Ends a run on every path: "Стоп", another tab, a disconnect, a lost line,
// closing the window and its destruction. Every row is in the file already;
// closing it releases it. The file object itself stays until the next run
// replaces it, and the Testing tab says how the run ended.
void MainWindow::endTestRun(RunEnd cause, const QString &detail)
{
    testTimer.stop();
    if (testRunning) {
        noteRunEvent(QStringLiteral("Конец испытания: %1. Строк: %2")
                         .arg(runEndText(cause, detail))
                         .arg(runRows));
        ui->testRunState->setText(QStringLiteral("Испытание завершено (%1): %2, строк: %3")
                                      .arg(runEndText(cause, detail), fileNameOf(testLogFile))
                                      .arg(runRows));
    }
    testRunning = false;
    runEvents.close();
    if (testLogFile && testLogFile->isOpen())
        testLogFile->close();
    // Waiting for a lost line only ever served the run.
    if (lineWait != LineWait::None)
        abandonLineWait();
    updateLiveValuesState();
}
