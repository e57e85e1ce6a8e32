#include "rack/rackwindow.h"

#include "link/portowners.h"
#include "rack/rackline.h"
#include "rack/racklinepanel.h"
#include "runreport/batchreport.h"
#include "ui_rackwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPortInfo>

#include <utility>

namespace {

// Two names of one port: the same name, or links to the same device.
bool samePort(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

} // namespace

RackWindow::RackWindow(QWidget *parent) : QWidget(parent), ui(new Ui::RackWindow)
{
    ui->setupUi(this);
    setWindowFlag(Qt::Window);
    ageTimer.setInterval(1000);
    connect(&ageTimer, &QTimer::timeout, this, [this] {
        for (RackLinePanel *panel : std::as_const(panels))
            panel->showAge();
    });
    ageTimer.start();
    refreshPortList();
}

RackWindow::~RackWindow()
{
    endAll();
    delete ui;
}

void RackWindow::setKindNames(const QStringList &names)
{
    kindNames = names;
    for (RackLinePanel *panel : std::as_const(panels))
        panel->line()->setKindNames(names);
}

void RackWindow::addPortNames(const QStringList &names)
{
    for (const QString &name : names)
        if (!extraPorts.contains(name))
            extraPorts << name;
    refreshPortList();
}

QList<RackLine *> RackWindow::lines() const
{
    QList<RackLine *> all;
    for (RackLinePanel *panel : panels)
        all << panel->line();
    return all;
}

int RackWindow::runningCount() const
{
    int running = 0;
    for (RackLinePanel *panel : panels)
        running += panel->line()->isRunning() ? 1 : 0;
    return running;
}

bool RackWindow::mayEndRuns()
{
    const int running = runningCount();
    if (running == 0)
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Стенд"),
                    QStringLiteral("Идут испытания на стенде: %1. Завершить все?").arg(running),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    if (box.exec() != QMessageBox::Yes)
        return false;
    endAll();
    return true;
}

void RackWindow::endAll()
{
    for (RackLinePanel *panel : std::as_const(panels))
        panel->line()->disconnectLine();
}

bool RackWindow::addLine(const QString &port)
{
    const QString name = port.trimmed();
    if (name.isEmpty())
        return false;
    for (RackLinePanel *panel : std::as_const(panels)) {
        if (samePort(panel->line()->port(), name)) {
            tell(QStringLiteral("Порт %1 уже на стенде.").arg(name));
            return false;
        }
    }
    if (panels.size() >= MaxLines) {
        tell(QStringLiteral("На стенде не больше %1 линий: порт %2 не добавлен.")
                 .arg(MaxLines)
                 .arg(name));
        return false;
    }
    const QString holder = PortOwners::holder(name);
    if (!holder.isEmpty()) {
        tell(QStringLiteral("Порт %1 не добавлен: занят: %2.").arg(name, holder));
        return false;
    }
    auto *line = new RackLine(name);
    line->setKindNames(kindNames);
    auto *panel = new RackLinePanel(line, ui->rackLinesContents);
    line->setParent(panel);
    connect(panel, &RackLinePanel::removeAsked, this, &RackWindow::removeLine);
    // Above the spacer that keeps the panels at the top.
    ui->rackLinesLayout->insertWidget(panels.size(), panel);
    panels << panel;
    tell(QString());
    return true;
}

void RackWindow::removeLine(RackLinePanel *panel)
{
    if (panel->line()->isConnected())
        return;
    panels.removeAll(panel);
    panel->deleteLater();
}

void RackWindow::closeEvent(QCloseEvent *event)
{
    if (!mayEndRuns()) {
        event->ignore();
        return;
    }
    endAll();
    event->accept();
}

void RackWindow::showEvent(QShowEvent *event)
{
    refreshPortList();
    QWidget::showEvent(event);
}

void RackWindow::refreshPortList()
{
    const QString typed = ui->rackPorts->currentText();
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    names << extraPorts;
    names.removeDuplicates();
    ui->rackPorts->clear();
    ui->rackPorts->addItems(names);
    ui->rackPorts->setCurrentText(typed);
}

void RackWindow::tell(const QString &text)
{
    ui->rackNotice->setText(text);
}

void RackWindow::on_rackAdd_clicked()
{
    addLine(ui->rackPorts->currentText());
}

void RackWindow::on_rackConnectAll_clicked()
{
    for (RackLinePanel *panel : std::as_const(panels))
        panel->line()->connectLine();
}

void RackWindow::on_rackStartAll_clicked()
{
    for (RackLinePanel *panel : std::as_const(panels)) {
        RackLine *line = panel->line();
        if (line->isConnected())
            line->startRun();
    }
}

void RackWindow::on_rackStopAll_clicked()
{
    for (RackLinePanel *panel : std::as_const(panels))
        panel->line()->stopRun();
}

// One report per line's last run, and the summary of them all.
void RackWindow::on_rackReports_clicked()
{
    QList<BatchRun> runs;
    for (RackLinePanel *panel : std::as_const(panels))
        if (!panel->line()->runFile().isEmpty())
            runs << BatchRun{panel->line()->port(), panel->line()->runFile()};
    if (runs.isEmpty()) {
        tell(QStringLiteral("Отчёты не записаны: на стенде не было испытаний."));
        return;
    }
    const BatchReportResult result =
        writeBatchReports(runs, QDir::current().filePath(QStringLiteral("reports")));
    QStringList told;
    if (!result.summary.isEmpty())
        told << QStringLiteral("Отчётов записано: %1, сводка: %2")
                    .arg(result.reports.size())
                    .arg(QDir::toNativeSeparators(result.summary));
    told << result.errors;
    tell(told.join(QLatin1Char('\n')));
}
