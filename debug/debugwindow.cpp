#include "debug/debugwindow.h"

#include "app/userfile.h"
#include "debug/hexinput.h"
#include "link/serialline.h"
#include "link/serialworker.h"
#include "session/devicesession.h"
#include "ui_debugwindow.h"

#include <QMessageBox>

namespace {

const QString LineClosed = QStringLiteral("Связь закрыта: отправлено групп %1 из %2");

} // namespace

DebugWindow::DebugWindow(QWidget *parent, DeviceSession *session)
    : QDialog(parent), ui(new Ui::DebugWindow), session(session)
{
    ui->setupUi(this);
    SerialWorker *worker = session->line()->worker();
    worker->setDisplays(ui->TxData, ui->RxData, ui->TxCommand, ui->RxCommand);
    rawPause.setSingleShot(true);
    rawPause.setTimerType(Qt::PreciseTimer);
    rawPause.setInterval(RawGroupPauseMs);
    connect(&rawPause, &QTimer::timeout, this, &DebugWindow::sendNextRawGroup);
    connect(session, &DeviceSession::opened, this, &DebugWindow::changeEnabled);
    connect(session, &DeviceSession::closed, this, &DebugWindow::changeEnabled);
    // What the user sends by hand is the user's, and so is the reply to it.
    connect(this, &DebugWindow::requestSent, session, &DeviceSession::noteHandSentRequest);
    connect(this, &DebugWindow::rawBytesSent, session, &DeviceSession::noteRawBytesSent);
    connect(worker, &SerialWorker::frameWritten, this,
            [this](const QDateTime &time, const QByteArray &frame) {
                checkTrafficWritten(traffic.addSent(time, frame));
            });
    connect(worker, &SerialWorker::frameReceived, this,
            [this](const QDateTime &time, const QByteArray &bytes, FrameCodec::Outcome outcome) {
                checkTrafficWritten(traffic.addReceived(time, bytes, outcome));
            });
}

DebugWindow::~DebugWindow()
{
    delete ui;
}

void DebugWindow::on_sendButton_clicked()
{
    if (!session->isOpen())
        return;
    // The box shows a password sent as "**": those are not bytes to send.
    if (ui->TxData->text().contains(QLatin1Char('*'))) {
        ui->TxData->selectAll();
        ui->TxData->setFocus();
        return;
    }
    QByteArray request;
    request.append(char(ui->TxCommand->value() & 0xFF));
    request.append(HexInput::decode(ui->TxData->text()));
    session->line()->send(request);
    emit requestSent(request);
}

void DebugWindow::changeEnabled()
{
    ui->sendButton->setEnabled(session->isOpen());
    if (!session->isOpen() && rawSending)
        endRawSend(LineClosed);
}

void DebugWindow::on_manualSendButton_clicked()
{
    if (!session->isOpen())
        return;
    // A send runs until the pause after its last group: a second one is refused
    // meanwhile, so that its bytes cannot mix with the first one's.
    if (rawSending) {
        rawRefused = true;
        showRawProgress();
        return;
    }
    const QList<QByteArray> groups = HexInput::rawGroups(ui->ManualTxData->text());
    rawGroups = groups;
    rawSent = 0;
    rawTotal = groups.size();
    rawRefused = false;
    rawSending = true;
    ui->manualCancelButton->setEnabled(true);
    QByteArray all;
    for (const QByteArray &group : groups)
        all.append(group);
    emit rawBytesSent(all);
    sendNextRawGroup();
}

void DebugWindow::on_manualCancelButton_clicked()
{
    endRawSend(QStringLiteral("Прервано: отправлено групп %1 из %2"));
}

void DebugWindow::endRawSend(const QString &outcome)
{
    rawGroups.clear();
    rawPause.stop();
    rawSending = false;
    ui->manualCancelButton->setEnabled(false);
    ui->manualSendProgress->setText(outcome.arg(rawSent).arg(rawTotal));
}

void DebugWindow::showRawProgress()
{
    QString text = QStringLiteral("Отправлено групп: %1 из %2").arg(rawSent).arg(rawTotal);
    if (rawRefused)
        text += QStringLiteral(". Новая отправка не начата: эта ещё идёт");
    ui->manualSendProgress->setText(text);
}

// Each group goes to the line as typed, unframed, with a short pause after
// it. The flush hands the group to the line before the pause, so the device
// really sees the gaps.
void DebugWindow::sendNextRawGroup()
{
    if (!session->isOpen()) {
        endRawSend(LineClosed);
        return;
    }
    if (rawGroups.isEmpty()) {
        endRawSend(QStringLiteral("Отправлено групп: %1 из %2"));
        return;
    }
    const QByteArray group = rawGroups.takeFirst();
    if (!group.isEmpty()) {
        session->line()->writeRaw(group);
        checkTrafficWritten(traffic.addSentRaw(QDateTime::currentDateTime(), group));
    }
    ++rawSent;
    showRawProgress();
    rawPause.start();
}

void DebugWindow::on_recordTraffic_toggled(bool on)
{
    if (!on) {
        traffic.stop();
        return;
    }
    if (traffic.start(QDateTime::currentDateTime())) {
        ui->trafficFile->setText(UserFile::shownPath(traffic.fileName()));
        return;
    }
    const QString path = UserFile::shownPath(traffic.fileName());
    const QString reason = traffic.errorString();
    ui->recordTraffic->setChecked(false);
    ui->trafficFile->clear();
    QMessageBox::warning(this, QStringLiteral("Запись обмена"),
                         QStringLiteral("Не удалось создать файл %1:\n%2").arg(path, reason));
}

void DebugWindow::checkTrafficWritten(bool written)
{
    if (written)
        return;
    const QString path = UserFile::shownPath(traffic.fileName());
    const QString reason = traffic.errorString();
    traffic.stop();
    ui->recordTraffic->setChecked(false);
    ui->trafficFile->setText(QStringLiteral("запись остановлена: %1").arg(path));
    // Told from the event loop: this runs inside the line's own handlers.
    QMetaObject::invokeMethod(
        this,
        [this, path, reason] {
            QMessageBox::warning(this, QStringLiteral("Запись обмена"),
                                 QStringLiteral("Не удалось записать в файл %1:\n%2\nЗапись "
                                                "обмена остановлена, связь с прибором "
                                                "продолжается.")
                                     .arg(path, reason));
        },
        Qt::QueuedConnection);
}
