#include "rack/racklinepanel.h"

#include "rack/rackline.h"
#include "testlog/csvformat.h"
#include "ui_racklinepanel.h"

#include <QDateTime>

#include <cmath>

namespace {

// The five values under their names, as the chart's legend names them.
QString valuesTable(const QList<double> &values)
{
    QString names;
    QString figures;
    for (int i = 0; i < CsvFormat::ValueCount; ++i) {
        names += QStringLiteral("<td style='padding-right:10px'><small>%1</small></td>")
                     .arg(QString::fromUtf8(CsvFormat::LegendNames[i]));
        figures +=
            QStringLiteral("<td style='padding-right:10px'>%1</td>")
                .arg(i < values.size() ? CsvFormat::valueText(values.at(i)) : QStringLiteral("—"));
    }
    return QStringLiteral("<table><tr>%1</tr><tr>%2</tr></table>").arg(names, figures);
}

} // namespace

RackLinePanel::RackLinePanel(RackLine *line, QWidget *parent)
    : QFrame(parent), ui(new Ui::RackLinePanel), rackLine(line)
{
    ui->setupUi(this);
    setProperty("port", line->port());
    ui->rackPort->setText(line->port());
    connect(line, &RackLine::changed, this, &RackLinePanel::showLine);
    showLine();
}

RackLinePanel::~RackLinePanel()
{
    delete ui;
}

void RackLinePanel::showLine()
{
    const bool connected = rackLine->isConnected();
    const bool running = rackLine->isRunning();
    ui->rackConnect->setText(connected ? QStringLiteral("Отключить")
                                       : QStringLiteral("Подключить"));
    ui->rackStart->setEnabled(connected && !running && !rackLine->isStarting());
    ui->rackStop->setEnabled(running || rackLine->isStarting());
    ui->rackRemove->setEnabled(!connected);
    ui->rackState->setStyleSheet(rackLine->stateSheet());
    ui->rackState->setText(rackLine->stateWord());
    ui->rackSerial->setText(rackLine->serialText());
    ui->rackRows->setText(QString::number(rackLine->rows()));
    ui->rackValues->setText(valuesTable(rackLine->values()));
    ui->rackTrend->setPoints(rackLine->trend());
    ui->rackNotice->setText(rackLine->notice());
    showAge();
}

void RackLinePanel::showAge()
{
    const QDateTime last = rackLine->lastReply();
    if (!last.isValid() || !rackLine->isConnected()) {
        ui->rackAge->setText(QStringLiteral("—"));
        return;
    }
    const qint64 seconds = std::max<qint64>(0, last.secsTo(QDateTime::currentDateTime()));
    ui->rackAge->setText(seconds < 60
                             ? QStringLiteral("%1 с").arg(seconds)
                             : QStringLiteral("%1 мин %2 с").arg(seconds / 60).arg(seconds % 60));
}

void RackLinePanel::on_rackConnect_clicked()
{
    if (rackLine->isConnected())
        rackLine->disconnectLine();
    else
        rackLine->connectLine();
}

void RackLinePanel::on_rackStart_clicked()
{
    rackLine->startRun();
}

void RackLinePanel::on_rackStop_clicked()
{
    rackLine->stopRun();
}

void RackLinePanel::on_rackRemove_clicked()
{
    emit removeAsked(this);
}
