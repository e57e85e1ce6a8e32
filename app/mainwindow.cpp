#include "app/mainwindow.h"

#include "config/writeverify.h"
#include "debug/debugwindow.h"
#include "link/serialworker.h"
#include "link/statusstyle.h"
#include "ui_mainwindow.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QThread>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    // One of the window's children, like every other part of it.
    serialPort.setParent(this);
    QDir::current().mkdir(QStringLiteral("configs"));
    testLogFile = new QFile;
    fillPortList();
    setUpTimers();
    ui->comboGradType->setCurrentIndex(0);
    changeControlsEnabled();
    catalogue = SensorCatalogue::standard();
    // Selecting index 0 above changed nothing, so run the sensor handlers once
    // now that the tables exist.
    emit ui->comboGradType->currentIndexChanged(0);
    setUpWorker();
    setUpTableHeader();
    updateLiveValuesState();
    connect(this, &MainWindow::testRunStarted, this, &MainWindow::followRunInChart);
    setUpWriteJournal();
    setUpWriteAndVerify();
    ui->tabWidget->setCurrentIndex(0);
    ui->CurrentDate->setDate(QDate::currentDate());
}

void MainWindow::setUpTimers()
{
    // Coarse timers may fire up to 5% early; the no-answer time and the
    // sampling intervals of a test run should mean what they say.
    for (QTimer *timer : {&pollTimer, &noAnswerTimer, &testTimer})
        timer->setTimerType(Qt::PreciseTimer);
    pollTimer.setInterval(3000);
    noAnswerTimer.setInterval(5000);
    testTimer.setInterval(2000);
    connect(&pollTimer, &QTimer::timeout, this, &MainWindow::runCommandOne);
    connect(&testTimer, &QTimer::timeout, this, &MainWindow::runCommandOne);
    connect(&noAnswerTimer, &QTimer::timeout, this, &MainWindow::notAnswered);
    // A 255-byte answer takes 290 ms at 9600 baud, and the worker waits 300 ms
    // of silence after it.
    replyWindow.setSingleShot(true);
    replyWindow.setTimerType(Qt::PreciseTimer);
    replyWindow.setInterval(1000);
    connect(&replyWindow, &QTimer::timeout, this, &MainWindow::sendDueLiveValues);
    // The user's confirmed actions that get no answer in time are told so.
    clock.start();
    userRequestTimer.setInterval(250);
    connect(&userRequestTimer, &QTimer::timeout, this, &MainWindow::expireUserRequests);
    reopenTimer.setInterval(ReopenEveryMs);
    connect(&reopenTimer, &QTimer::timeout, this, &MainWindow::tryReopenLine);
    verifyTimer.setSingleShot(true);
    verifyTimer.setInterval(UserRequests::AnswerWithinMs);
    connect(&verifyTimer, &QTimer::timeout, this, &MainWindow::lineBack);
}

void MainWindow::setUpWorker()
{
    worker = new SerialWorker(&serialPort);
    debugWindow = new DebugWindow(this, worker, &serialPort);
    // What the user sends by hand is the user's, and so is the reply to it.
    connect(debugWindow, &DebugWindow::requestSent, this, &MainWindow::noteHandSentRequest);
    connect(debugWindow, &DebugWindow::rawBytesSent, this, &MainWindow::noteRawBytesSent);
    connect(worker, &SerialWorker::styleChanged, this, &MainWindow::changeStatusLabel);
    connect(worker, &SerialWorker::packetTransmited, this, &MainWindow::waitPacket);
    connect(worker, &SerialWorker::lineLost, this, &MainWindow::closeLostLine);
    connect(worker, &SerialWorker::portErrorsClosed, this, &MainWindow::processDeferredReplies);

    workerThread = new QThread(this);
    worker->moveToThread(workerThread);
    connect(workerThread, &QThread::started, worker, &SerialWorker::doWork);
    connect(workerThread, &QThread::finished, worker, &SerialWorker::stop);
    connect(worker, &SerialWorker::receiveEnd, this, &MainWindow::commandProcessing);
    connect(worker, &SerialWorker::receiveCorrupted, this, &MainWindow::corruptedReply);
    connect(worker, &QObject::destroyed, workerThread, &QThread::quit);

    statusLabel.setFixedWidth(150);
    statusLabel.setAlignment(Qt::AlignHCenter);
    statusLabel.setText(QStringLiteral("NONE"));
    statusLabel.setStyleSheet(StatusStyle::initialSheet());
    worker->setStatusLabel(&statusLabel);
    ui->statusBar->addWidget(&statusLabel, 0);
    // The bar lays out right to left; its texts read left to right.
    deviceLabel.setObjectName(QStringLiteral("deviceLabel"));
    lineNotice.setObjectName(QStringLiteral("lineNotice"));
    lineNotice.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QLabel *label : {&deviceLabel, &lineNotice}) {
        label->setLayoutDirection(Qt::LeftToRight);
        ui->statusBar->addWidget(label, label == &lineNotice ? 1 : 0);
    }
    showDeviceIdentity();
}

// The time column fits a time stamp, the five value columns share the
// rest, and their long titles wrap onto a second line rather than being cut.
void MainWindow::setUpTableHeader()
{
    QHeaderView *header = ui->table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    const QFontMetrics metrics(ui->table->font());
    header->resizeSection(0,
                          metrics.boundingRect(QStringLiteral("00.00.0000 00:00:00")).width() + 16);
    header->setDefaultAlignment(Qt::AlignCenter | Qt::Alignment(Qt::TextWordWrap));
    header->setMinimumHeight(2 * header->fontMetrics().lineSpacing() + 8);
}

MainWindow::~MainWindow()
{
    endTestRun(RunEnd::WindowClosed);
    // The worker may only go once its thread has stopped running its slots.
    workerThread->quit();
    workerThread->wait();
    delete worker;
    worker = nullptr;
    delete testLogFile;
    delete ui;
}

void MainWindow::on_debugMode_triggered()
{
    debugWindow->show();
}
