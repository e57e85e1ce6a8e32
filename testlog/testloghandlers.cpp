#include "app/mainwindow.h"

#include "app/userfile.h"
#include "testlog/csvformat.h"
#include "testlog/logtable.h"
#include "testlog/testlogfile.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QDir>

// Test runs: while a run is on, every LiveValues reply becomes one line of the
// run's CSV file and one row of the table on the Testing tab, the line first,
// so that no row is ever shown that the file does not hold.

void MainWindow::on_pushButtonStartTesting_clicked()
{
    if (!serialPort.isOpen())
        return;

    auto *log = new TestLogFile(this);
    if (!log->create(QDir::currentPath(), QDateTime::currentDateTime())) {
        const QString path = UserFile::shownPath(log->fileName());
        delete log;
        showInformation(QStringLiteral("Внимание!"),
                        QStringLiteral("Не удалось создать файл журнала\n%1\n"
                                       "Тестирование не запущено.")
                            .arg(path));
        return;
    }
    // A run still going ends here; the previous run's file object goes.
    endTestRun();
    delete testLogFile;
    testLogFile = log;

    // The table keeps whatever sort it has: the new rows take the places it
    // gives them and the newest one is scrolled into view.

    // A disconnect stops the timer; the run ends with it, so that the file is
    // closed and the next connection starts afresh with a new run.
    connect(this, &MainWindow::portClose, this, &MainWindow::endTestRun, Qt::UniqueConnection);

    emit testRunStarted(); // before the first row can arrive
    testRunning = true;
    runCommandOne();
    testTimer.start();
    ui->pushButtonStartTesting->setEnabled(false);
    ui->pushButtonStopTesting->setEnabled(true);
}

void MainWindow::on_pushButtonStopTesting_clicked()
{
    endTestRun();
    ui->pushButtonStartTesting->setEnabled(true);
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
    emit testRowLogged(now, values);
    // Shown from within reply processing: replies that come meanwhile wait.
    if (outcome == TestLogFile::RowOutcome::FirstFailure)
        showInformation(QStringLiteral("Внимание!"),
                        QStringLiteral("Не удалось записать строку в файл журнала\n%1\n"
                                       "Строки этого испытания, начиная с этой, "
                                       "могут отсутствовать в файле.")
                            .arg(UserFile::shownPath(log->fileName())));
}

// Ends a run on every path: "Стоп", another tab, a disconnect, closing the
// window and its destruction. Every row is in the file already; closing it
// releases it. The file object itself stays until the next run replaces it.
void MainWindow::endTestRun()
{
    testTimer.stop();
    testRunning = false;
    if (testLogFile && testLogFile->isOpen())
        testLogFile->close();
}
