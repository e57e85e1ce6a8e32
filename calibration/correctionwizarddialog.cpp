#include "calibration/correctionwizarddialog.h"

#include "calibration/calibrationprocedure.h"
#include "calibration/calibrationsettings.h"
#include "calibration/correctionwizard.h"
#include "session/devicesession.h"
#include "testlog/csvformat.h"
#include "ui_correctionwizard.h"

#include <QHeaderView>
#include <QTableWidgetItem>

static QString degrees(const std::optional<double> &value, bool signedValue = false)
{
    if (!value)
        return QString();
    return signedValue ? CsvFormat::signedValueText(*value) : CsvFormat::valueText(*value);
}

CorrectionWizardDialog::CorrectionWizardDialog(DeviceSession *session,
                                               const SensorCatalogue &catalogue, QWidget *parent)
    : QDialog(parent), ui(new Ui::CorrectionWizardDialog), session(session),
      correction(new CorrectionWizard(session, catalogue, this))
{
    ui->setupUi(this);
    const auto showDevice = [this] {
        ui->correctionDevice->setText(CalibrationProcedure::deviceLine(*this->session));
    };
    connect(session, &DeviceSession::identityChanged, this, showDevice);
    connect(session, &DeviceSession::settingsRead, this, showDevice);
    showDevice();
    ui->correctionPoints->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->correctionPoints->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < CorrectionWizard::Points; ++row)
        for (int column = 0; column < ui->correctionPoints->columnCount(); ++column) {
            auto *cell = new QTableWidgetItem;
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            ui->correctionPoints->setItem(row, column, cell);
        }
    ui->correctionPoints->selectRow(0);
    connect(correction, &CorrectionWizard::changed, this, &CorrectionWizardDialog::showState);
    connect(correction, &CorrectionWizard::waiting, this, &CorrectionWizardDialog::showWaiting);
    connect(correction, &CorrectionWizard::liveValues, this, &CorrectionWizardDialog::showLive);
    connect(correction, &CorrectionWizard::status, this, &CorrectionWizardDialog::tell);
    connect(correction, &CorrectionWizard::stopped, this, &CorrectionWizardDialog::tell);
    // On to the next point, its reference still to be typed as found.
    connect(correction, &CorrectionWizard::pointDone, this, [this](int index) {
        if (index + 1 < CorrectionWizard::Points)
            ui->correctionPoints->selectRow(index + 1);
        if (correction->phase() == CorrectionWizard::Phase::AsFound &&
            !correction->measured(ui->correctionPoints->currentRow()))
            ui->correctionReference->clear();
    });
    connect(correction, &CorrectionWizard::changed, this, [this] {
        // As left starts again from the first point.
        if (correction->phase() == CorrectionWizard::Phase::AsLeft && !correction->allLeft() &&
            correction->measuring() < 0 && !correction->result().points.at(0).asLeft)
            ui->correctionPoints->selectRow(0);
    });
    connect(ui->correctionPoints, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = ui->correctionPoints->currentRow();
        const CorrectionResult &result = correction->result();
        if (row >= 0 && correction->measured(row))
            ui->correctionReference->setText(degrees(result.points.at(row).reference));
    });
    showState();
}

CorrectionWizardDialog::~CorrectionWizardDialog()
{
    delete ui;
}

void CorrectionWizardDialog::start()
{
    QString whyNot;
    if (!correction->start(&whyNot))
        tell(whyNot);
    showState();
}

void CorrectionWizardDialog::useDefaults(const CalibrationSettings &defaults)
{
    ui->correctionSteadyCount->setValue(defaults.stabilityCount);
    ui->correctionSteadySpread->setValue(defaults.stabilitySpread);
    ui->correctionTolerance->setValue(defaults.correctionTolerance);
    applySettings();
}

void CorrectionWizardDialog::applySettings()
{
    CorrectionWizard::Settings settings = correction->settings();
    settings.steadyCount = ui->correctionSteadyCount->value();
    settings.steadySpread = ui->correctionSteadySpread->value();
    settings.tolerance = ui->correctionTolerance->value();
    correction->setSettings(settings);
}

void CorrectionWizardDialog::on_correctionMeasure_clicked()
{
    applySettings();
    QString whyNot;
    const int row = std::max(0, ui->correctionPoints->currentRow());
    if (!correction->measure(row, ui->correctionReference->text(), &whyNot) && !whyNot.isEmpty())
        tell(whyNot);
}

void CorrectionWizardDialog::on_correctionWrite_clicked()
{
    applySettings();
    QString whyNot;
    if (!correction->write(&whyNot) && !whyNot.isEmpty())
        tell(whyNot);
}

void CorrectionWizardDialog::on_correctionAccept_clicked()
{
    QString whyNot;
    if (correction->accept(&whyNot))
        tell(QStringLiteral("Коррекция принята: результат войдёт в протокол калибровки."));
    else if (!whyNot.isEmpty())
        tell(whyNot);
}

void CorrectionWizardDialog::on_correctionCancel_clicked()
{
    reject();
}

void CorrectionWizardDialog::reject()
{
    correction->cancel();
    QDialog::reject();
}

void CorrectionWizardDialog::tell(const QString &text)
{
    ui->correctionStatus->setText(text);
}

void CorrectionWizardDialog::showState()
{
    using Phase = CorrectionWizard::Phase;
    const Phase phase = correction->phase();
    const bool measuring = correction->measuring() >= 0;
    const bool active = correction->isActive();
    const bool taking = active && !measuring && (phase == Phase::AsFound || phase == Phase::AsLeft);
    ui->correctionMeasure->setEnabled(taking);
    ui->correctionReference->setEnabled(taking && phase == Phase::AsFound);
    ui->correctionSettingsBox->setEnabled(!measuring && phase != Phase::Writing);
    ui->correctionWrite->setEnabled(taking && phase == Phase::AsFound && correction->allMeasured());
    ui->correctionAccept->setEnabled(taking && phase == Phase::AsLeft && correction->allLeft());
    ui->correctionCancel->setText(active ? QStringLiteral("Отмена") : QStringLiteral("Закрыть"));
    ui->correctionMeasure->setText(phase == Phase::AsLeft ? QStringLiteral("Измерить как оставлено")
                                                          : QStringLiteral("Измерить точку"));
    showPoints();
}

void CorrectionWizardDialog::showPoints()
{
    const CorrectionResult &result = correction->result();
    for (int row = 0; row < CorrectionWizard::Points; ++row) {
        const CorrectionPointResult &point = result.points.at(row);
        const bool measured = correction->measured(row);
        const bool busy = correction->measuring() == row;
        const QStringList cells{
            measured || busy ? degrees(point.reference) : QString(),
            measured ? degrees(point.measured) : QString(),
            measured ? degrees(point.asFound) : QString(),
            measured ? degrees(point.asFoundError(), true) : QString(),
            degrees(point.asLeft),
            degrees(point.asLeftError(), true),
        };
        for (int column = 0; column < cells.size(); ++column)
            ui->correctionPoints->item(row, column)->setText(cells.at(column));
    }
}

void CorrectionWizardDialog::showWaiting(int index, int readings, int needed, double spread,
                                         int secondsLeft)
{
    tell(QStringLiteral("Точка %1: ждём стабилизации — разброс %2 °C, %3 из %4 показаний, "
                        "осталось %5 с.")
             .arg(index + 1)
             .arg(CsvFormat::valueText(spread))
             .arg(readings)
             .arg(needed)
             .arg(secondsLeft));
}

void CorrectionWizardDialog::showLive(const QList<double> &values)
{
    if (values.size() < 3)
        return;
    ui->correctionLive->setText(
        QStringLiteral("Измеренное значение: %1 °C · Корректированное значение: %2 °C")
            .arg(degrees(values.at(2)), degrees(values.at(1))));
}
