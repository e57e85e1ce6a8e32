#include "app/mainwindow.h"

#include "debug/debugwindow.h"
#include "link/serialline.h"
#include "link/serialworker.h"
#include "link/statusstyle.h"
#include "session/devicesession.h"
#include "testlog/testrun.h"
#include "ui_mainwindow.h"

#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QScreen>
#include <QWindow>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    QDir::current().mkdir(QStringLiteral("configs"));
    session = new DeviceSession(QStringLiteral("главное окно"), this);
    fillPortList();
    ui->comboGradType->setCurrentIndex(0);
    changeControlsEnabled();
    catalogue = SensorCatalogue::standard();
    // Selecting index 0 above changed nothing, so run the sensor handlers once
    // now that the tables exist.
    emit ui->comboGradType->currentIndexChanged(0);
    debugWindow = new DebugWindow(this, session);
    setUpSession();
    setUpStatusBar();
    setUpTableHeader();
    updateLiveValuesState();
    ui->CurrentDate->setDate(QDate::currentDate());
    watchUserEdits();
    ui->tabWidget->setCurrentIndex(0);
}

QStringList MainWindow::kindNames() const
{
    QStringList names;
    for (int kind = 0; kind < ui->comboGradType->count(); ++kind)
        names << ui->comboGradType->itemText(kind);
    return names;
}

void MainWindow::setUpSession()
{
    session->setKindNames(kindNames());
    DeviceSession *s = session;
    connect(s, &DeviceSession::opened, this, &MainWindow::portOpen);
    connect(s, &DeviceSession::closed, this, &MainWindow::portClose);
    connect(s, &DeviceSession::connectionChanged, this, [this] {
        ui->buttonConnect->setText(session->holdsPort() ? QStringLiteral("Отключиться")
                                                        : QStringLiteral("Подключиться"));
        changeControlsEnabled();
        showDeviceIdentity();
        updateWriteAndVerifyEnabled();
        updateLiveValuesState();
    });
    connect(s, &DeviceSession::identityChanged, this, &MainWindow::showDeviceIdentity);
    connect(s, &DeviceSession::styleChanged, this, &MainWindow::changeStatusLabel);
    connect(s, &DeviceSession::indicator, this, &MainWindow::setStatusColour);
    connect(s, &DeviceSession::lineNotice, this, &MainWindow::tellLine);
    connect(s, &DeviceSession::message, this, &MainWindow::showInformation);

    connect(s, &DeviceSession::liveValuesRead, this, &MainWindow::showLiveValues);
    connect(s, &DeviceSession::settingsRead, this, &MainWindow::showProbeType);
    connect(s, &DeviceSession::deviceInfoRead, this, &MainWindow::showDeviceInfo);
    connect(s, &DeviceSession::correctionRead, this, &MainWindow::showCorrectionPoints);
    connect(s, &DeviceSession::constantsRead, this, &MainWindow::showConstants);
    connect(s, &DeviceSession::pollingChanged, this, &MainWindow::showPollingState);
    connect(s, &DeviceSession::liveValuesOverdue, this, &MainWindow::updateLiveValuesState);

    connect(s, &DeviceSession::runStarted, this, &MainWindow::testRunStarted);
    connect(this, &MainWindow::testRunStarted, this, &MainWindow::followRunInChart);
    connect(s, &DeviceSession::rowLogged, this, &MainWindow::showRowLogged);
    connect(s, &DeviceSession::runEnded, this, &MainWindow::showRunEnded);
    connect(s, &DeviceSession::runInterrupted, this, &MainWindow::tellRunEnded);
    connect(s, &DeviceSession::runDeviceChanged, this, &MainWindow::showRunState);

    connect(s, &DeviceSession::referenceChanged, this, &MainWindow::showReference);
    connect(s, &DeviceSession::writeVerifyStarted, this, [this] {
        ui->tabWidget->setEnabled(false);
        updateWriteAndVerifyEnabled();
    });
    connect(s, &DeviceSession::writeVerifyFinished, this, &MainWindow::showWriteVerifyOutcome);
    connect(s, &DeviceSession::procedureChanged, this, &MainWindow::updateWriteAndVerifyEnabled);
    connect(s, &DeviceSession::runStarted, this, &MainWindow::updateWriteAndVerifyEnabled);
    connect(s, &DeviceSession::runEnded, this, &MainWindow::updateWriteAndVerifyEnabled);
    // A run's record must not mix two configurations. A run's end may come
    // from anywhere, so the menu looks again each time it opens.
    connect(ui->menu, &QMenu::aboutToShow, this, &MainWindow::updateWriteAndVerifyEnabled);
    updateWriteAndVerifyEnabled();
}

void MainWindow::setUpStatusBar()
{
    statusLabel.setFixedWidth(150);
    statusLabel.setAlignment(Qt::AlignHCenter);
    statusLabel.setText(QStringLiteral("NONE"));
    statusLabel.setStyleSheet(StatusStyle::initialSheet());
    session->line()->worker()->setStatusLabel(&statusLabel);
    ui->statusBar->addWidget(&statusLabel, 0);
    // The bar lays out right to left; its texts read left to right.
    deviceLabel.setObjectName(QStringLiteral("deviceLabel"));
    referenceLabel.setObjectName(QStringLiteral("referenceLabel"));
    lineNotice.setObjectName(QStringLiteral("lineNotice"));
    lineNotice.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QLabel *label : {&deviceLabel, &referenceLabel, &lineNotice}) {
        label->setLayoutDirection(Qt::LeftToRight);
        ui->statusBar->addWidget(label, label == &lineNotice ? 1 : 0);
    }
    showDeviceIdentity();
    showReference();
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
    session->endRun(RunEnd::WindowClosed);
    // A calibration dialog ends its procedure on the session as it goes.
    delete calibrationDialog;
    // The session goes first: nothing it says on its way out reaches a window half gone.
    // The worker shows traffic in the manual packet window's boxes until it has stopped.
    session->disconnect(this);
    delete session;
    delete debugWindow;
    delete ui;
}

void MainWindow::fitToScreen()
{
    const QScreen *shownOn = windowHandle() ? windowHandle()->screen() : nullptr;
    if (!shownOn)
        return;
    const QRect available = shownOn->availableGeometry();
    const int frameHeight = frameGeometry().height() - height();
    const int room = available.height() - frameHeight;
    if (height() <= room)
        return;
    resize(width(), qMax(minimumHeight(), room));
    move(frameGeometry().x(), available.top());
}

void MainWindow::on_debugMode_triggered()
{
    debugWindow->show();
}

void MainWindow::commandProcessing(QByteArray data)
{
    session->takeReply(data);
}
