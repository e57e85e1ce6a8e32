#include "calibration/certificatedialog.h"

#include "app/userfile.h"
#include "calibration/calibrationsettings.h"
#include "calibration/certificate.h"
#include "calibration/certificatenumbers.h"
#include "ui_certificatedialog.h"

#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace {

enum Column { Name, SerialNumber, DueDate };

const QString Title = QStringLiteral("Протокол калибровки");

QString withinText(bool passed)
{
    return passed ? QStringLiteral("в допуске") : QStringLiteral("вне допуска");
}

QString cell(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text().trimmed() : QString();
}

} // namespace

CertificateDialog::CertificateDialog(const CertificateData &draft,
                                     const CalibrationSettings &settings, QWidget *parent)
    : QDialog(parent), ui(new Ui::CertificateDialog), m_draft(draft), m_settings(settings)
{
    ui->setupUi(this);
    // Room for the outcome and the path of the file, which may wrap.
    ui->certificateOutcome->setMinimumHeight(3 * fontMetrics().lineSpacing());
    // A point, whatever the system's locale: the certificate writes 21.5.
    ui->certificateAmbient->setLocale(QLocale::c());
    QHeaderView *header = ui->certificateInstruments->horizontalHeader();
    header->setSectionResizeMode(Name, QHeaderView::Stretch);
    header->setSectionResizeMode(SerialNumber, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(DueDate, QHeaderView::ResizeToContents);
    ui->certificateOperator->setText(settings.operatorName);
    ui->certificateProduct->setText(settings.productLine);
    if (draft.ambient)
        ui->certificateAmbient->setValue(*draft.ambient);
    for (const ReferenceInstrument &instrument : settings.instruments)
        addInstrumentRow(instrument);
    showDraft();
    // The wrapped summary lines take more height than the form's own size; as
    // much as the screen has room for.
    const int wanted = layout()->totalHeightForWidth(width());
    const int room = screen()->availableGeometry().height() - 60;
    resize(width(), std::max(height(), std::min(wanted, room)));
}

CertificateDialog::~CertificateDialog()
{
    delete ui;
}

QDate CertificateDialog::parseDate(const QString &text)
{
    const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy"));
    return date.isValid() ? date : QDate::fromString(text.trimmed(), QStringLiteral("d.M.yyyy"));
}

void CertificateDialog::showDraft()
{
    const auto &id = m_draft.device.identity;
    ui->certificateDevice->setText(
        id ? QStringLiteral("№ %1, версия ПО %2")
                 .arg(id->serialNumber)
                 .arg(id->firmware.isEmpty() ? QStringLiteral("не считана") : id->firmware)
           : QStringLiteral("не считан"));
    const auto notDone = QStringLiteral("не проводилась в этом подключении");
    using Certificate::Outcome;
    const Outcome correction = Certificate::correctionOutcome(m_draft);
    if (correction == Outcome::NotDone) {
        ui->certificateCorrection->setText(notDone);
    } else {
        const CorrectionResult &r = *m_draft.correction;
        ui->certificateCorrection->setText(
            QStringLiteral("проведена (%1 точек): как найдено — %2, как оставлено — %3; %4")
                .arg(r.points.size())
                .arg(withinText(r.asFoundPassed()),
                     correction == Outcome::Incomplete
                         ? QStringLiteral("не измерено")
                         : withinText(correction == Outcome::Passed || !r.verified),
                     r.verified ? QStringLiteral("точки записаны и проверены")
                                : QStringLiteral("запись точек не подтверждена")));
    }
    if (Certificate::loopOutcome(m_draft) == Outcome::NotDone) {
        ui->certificateLoop->setText(notDone);
    } else {
        const LoopTestResult &r = *m_draft.loop;
        ui->certificateLoop->setText(
            QStringLiteral("проведена (%1 шагов): %2; %3")
                .arg(r.points.size())
                .arg(withinText(r.passed()), r.released
                                                 ? QStringLiteral("выход возвращён к измерению")
                                                 : QStringLiteral("выход мог остаться заданным")));
    }
    ui->certificateVerdict->setText(
        QStringLiteral("<b>%1</b>").arg(Certificate::verdict(m_draft).toHtmlEscaped()));
}

void CertificateDialog::addInstrumentRow(const ReferenceInstrument &instrument)
{
    QTableWidget *table = ui->certificateInstruments;
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, Name, new QTableWidgetItem(instrument.name));
    table->setItem(row, SerialNumber, new QTableWidgetItem(instrument.serialNumber));
    table->setItem(row, DueDate,
                   new QTableWidgetItem(
                       instrument.dueDate.isValid()
                           ? QLocale::c().toString(instrument.dueDate, QStringLiteral("dd.MM.yyyy"))
                           : QString()));
}

QList<ReferenceInstrument> CertificateDialog::instruments() const
{
    const QTableWidget *table = ui->certificateInstruments;
    QList<ReferenceInstrument> list;
    for (int row = 0; row < table->rowCount(); ++row) {
        const ReferenceInstrument instrument{cell(table, row, Name), cell(table, row, SerialNumber),
                                             parseDate(cell(table, row, DueDate))};
        // A row left blank is no instrument.
        if (!instrument.name.isEmpty() || !instrument.serialNumber.isEmpty() ||
            !cell(table, row, DueDate).isEmpty())
            list << instrument;
    }
    return list;
}

CertificateData CertificateDialog::filledIn() const
{
    CertificateData data = m_draft;
    data.made = QDateTime::currentDateTime();
    if (data.program.isEmpty())
        data.program = Certificate::programText();
    data.operatorName = ui->certificateOperator->text().trimmed();
    data.productLine = ui->certificateProduct->text().trimmed();
    data.instruments = instruments();
    const QDoubleSpinBox *ambient = ui->certificateAmbient;
    data.ambient = ambient->value() > ambient->minimum() ? std::optional<double>(ambient->value())
                                                         : std::nullopt;
    return data;
}

void CertificateDialog::tell(const QString &text, bool failed)
{
    ui->certificateOutcome->setStyleSheet(failed ? QStringLiteral("color: #b01c1c") : QString());
    ui->certificateOutcome->setText(text);
}

void CertificateDialog::on_certificateCreate_clicked()
{
    // Cells being edited hold their text until they are committed.
    ui->certificateInstruments->setCurrentItem(nullptr);
    const CertificateData data = filledIn();
    const Certificate::Refusal refused = Certificate::refusal(data, data.made.date());
    if (refused.refused()) {
        tell(refused.text, true);
        QMessageBox::warning(this, Title, refused.text);
        using Field = Certificate::Refusal::Field;
        if (refused.field == Field::Operator)
            ui->certificateOperator->setFocus();
        else if (refused.field == Field::Ambient)
            ui->certificateAmbient->setFocus();
        else if (refused.field == Field::Instruments)
            ui->certificateInstruments->setFocus();
        return;
    }
    m_settings.operatorName = data.operatorName;
    m_settings.productLine =
        data.productLine.isEmpty() ? CalibrationSettings::DefaultProductLine : data.productLine;
    m_settings.instruments = data.instruments;
    QString settingsError;
    const bool saved = m_settings.save(&settingsError);
    CertificateNumbers numbers;
    QString error;
    const QString path = writeCertificate(data, Certificate::DefaultDirectory, numbers, &error);
    const QString notSaved =
        saved ? QString()
              : QStringLiteral("\nЭталоны и исполнитель не запомнены: ") + settingsError;
    if (path.isEmpty()) {
        tell(QStringLiteral("Протокол не создан.\n") + error + notSaved, true);
        return;
    }
    m_written = path;
    tell(QStringLiteral("Протокол создан:\n%1").arg(UserFile::shownPath(path)) + notSaved, !saved);
    // One certificate per calibration: another would be the same under a new number.
    ui->certificateCreate->setEnabled(false);
    ui->certificateClose->setDefault(true);
    emit certificateWritten(path);
}

void CertificateDialog::on_certificateClose_clicked()
{
    if (m_written.isEmpty())
        reject();
    else
        accept();
}

void CertificateDialog::on_certificateAddInstrument_clicked()
{
    addInstrumentRow({});
    QTableWidget *table = ui->certificateInstruments;
    table->setCurrentCell(table->rowCount() - 1, Name);
    table->editItem(table->currentItem());
}

void CertificateDialog::on_certificateRemoveInstrument_clicked()
{
    QTableWidget *table = ui->certificateInstruments;
    if (table->currentRow() >= 0)
        table->removeRow(table->currentRow());
}
