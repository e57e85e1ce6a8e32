#include "calibration/looptestdialog.h"

#include "calibration/calibrationprocedure.h"
#include "calibration/calibrationsettings.h"
#include "calibration/looptest.h"
#include "session/devicesession.h"
#include "testlog/csvformat.h"
#include "ui_looptest.h"

#include <QHeaderView>
#include <QTableWidgetItem>

#include <cmath>

LoopTestDialog::LoopTestDialog(DeviceSession *session, QWidget *parent)
    : QDialog(parent), ui(new Ui::LoopTestDialog), session(session),
      loop(new LoopTest(session, this))
{
    ui->setupUi(this);
    const auto showDevice = [this] {
        ui->loopDevice->setText(CalibrationProcedure::deviceLine(*this->session));
    };
    connect(session, &DeviceSession::identityChanged, this, showDevice);
    connect(session, &DeviceSession::settingsRead, this, showDevice);
    showDevice();
    ui->loopPoints->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->loopPoints->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < ui->loopPoints->rowCount(); ++row)
        for (int column = 0; column < ui->loopPoints->columnCount(); ++column) {
            auto *cell = new QTableWidgetItem;
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            ui->loopPoints->setItem(row, column, cell);
        }
    connect(loop, &LoopTest::changed, this, &LoopTestDialog::showState);
    connect(loop, &LoopTest::status, ui->loopStatus, &QLabel::setText);
    connect(loop, &LoopTest::stopped, ui->loopStatus, &QLabel::setText);
    connect(loop, &LoopTest::finished, this, &LoopTestDialog::finished);
    connect(session, &DeviceSession::connectionChanged, this, &LoopTestDialog::showState);
    connect(ui->loopMeter, &QLineEdit::returnPressed, this, &LoopTestDialog::on_loopTake_clicked);
    showState();
}

LoopTestDialog::~LoopTestDialog()
{
    delete ui;
}

void LoopTestDialog::useDefaults(const CalibrationSettings &defaults)
{
    ui->loopTolerance->setValue(defaults.loopTolerancePercent);
}

void LoopTestDialog::on_loopStart_clicked()
{
    loop->setTolerance(ui->loopTolerance->value());
    ui->loopVerdict->clear();
    QString whyNot;
    if (!loop->start(&whyNot))
        ui->loopStatus->setText(whyNot);
    showState();
}

void LoopTestDialog::on_loopTake_clicked()
{
    QString whyNot;
    if (loop->takeMeterReading(ui->loopMeter->text(), &whyNot)) {
        ui->loopMeter->clear();
    } else if (!whyNot.isEmpty()) {
        ui->loopStatus->setText(whyNot);
        ui->loopMeter->selectAll();
    }
    showPoints();
}

void LoopTestDialog::on_loopRelease_clicked()
{
    QString whyNot;
    if (!loop->release(&whyNot) && !whyNot.isEmpty())
        ui->loopStatus->setText(whyNot);
}

void LoopTestDialog::on_loopCancel_clicked()
{
    loop->cancel();
}

void LoopTestDialog::on_loopClose_clicked()
{
    reject();
}

// The output is never left fixed by closing the window: the release goes
// first, and the window closes once it is done.
void LoopTestDialog::reject()
{
    if (loop->isActive()) {
        closeWhenReleased = true;
        loop->cancel();
        return;
    }
    QDialog::reject();
}

void LoopTestDialog::finished(bool completed)
{
    if (completed) {
        const LoopTestResult &result = loop->result();
        ui->loopVerdict->setText(
            QStringLiteral("Вывод: %1 (допуск ±%2 % диапазона).")
                .arg(result.passed() ? QStringLiteral("годен") : QStringLiteral("не годен"),
                     CsvFormat::valueText(result.tolerancePercent)));
    }
    if (closeWhenReleased && !loop->outputMayBeFixed())
        QDialog::reject();
    closeWhenReleased = false;
}

void LoopTestDialog::showState()
{
    using Phase = LoopTest::Phase;
    const bool active = loop->isActive();
    const Phase phase = loop->phase();
    ui->loopStart->setEnabled(!active && session->isOpen());
    ui->loopTolerance->setEnabled(!active);
    ui->loopTake->setEnabled(active && phase == Phase::Meter);
    ui->loopMeter->setEnabled(active && phase == Phase::Meter);
    ui->loopCancel->setEnabled(active && phase != Phase::Releasing && phase != Phase::Checking);
    ui->loopRelease->setEnabled(!active && loop->outputMayBeFixed());
    if (active && phase == Phase::Meter)
        ui->loopMeter->setFocus();
    showPoints();
}

void LoopTestDialog::showPoints()
{
    const LoopTestResult &result = loop->result();
    const QList<double> steps = LoopTest::steps();
    for (int row = 0; row < steps.size(); ++row) {
        QStringList cells{CsvFormat::valueText(steps.at(row)), QString(), QString(), QString()};
        if (row < result.points.size()) {
            const LoopPointResult &point = result.points.at(row);
            const double deviation = *point.deviationPercent();
            cells[1] = CsvFormat::valueText(*point.meterMa);
            cells[2] = CsvFormat::signedValueText(deviation);
            cells[3] = std::fabs(deviation) <= result.tolerancePercent + 1e-9
                           ? QStringLiteral("в допуске")
                           : QStringLiteral("вне допуска");
        } else if (row == loop->step() && loop->isActive()) {
            cells[3] = QStringLiteral("задан");
        }
        for (int column = 0; column < cells.size(); ++column)
            ui->loopPoints->item(row, column)->setText(cells.at(column));
    }
}
