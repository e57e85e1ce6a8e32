#pragma once

#include "calibration/calibrationrecord.h"
#include "calibration/calibrationsettings.h"

#include <QDialog>
#include <QString>

namespace Ui {
class CertificateDialog;
}

// "Протокол калибровки": shows what the certificate will state of the
// calibration done in this connection (the draft: the device, the correction
// and the loop test, with their verdicts), lets the engineer type or confirm
// who did it, with which reference instruments, at what ambient temperature,
// and the product line; "Создать" checks them, remembers them in `settings`,
// takes the next number and writes the PDF into "reports" (in the working
// directory), and says on the dialog where it went or why it did not.
class CertificateDialog : public QDialog
{
    Q_OBJECT
public:
    CertificateDialog(const CertificateData &draft, const CalibrationSettings &settings,
                      QWidget *parent = nullptr);
    ~CertificateDialog() override;

    // The certificate written, empty until one is.
    QString writtenPath() const { return m_written; }

    // The due date as the table takes it: "01.12.2027" (also "1.12.2027").
    static QDate parseDate(const QString &text);

signals:
    void certificateWritten(const QString &path);

private slots:
    void on_certificateCreate_clicked();
    void on_certificateClose_clicked();
    void on_certificateAddInstrument_clicked();
    void on_certificateRemoveInstrument_clicked();

private:
    void showDraft();
    void addInstrumentRow(const ReferenceInstrument &instrument);
    QList<ReferenceInstrument> instruments() const;
    CertificateData filledIn() const;
    void tell(const QString &text, bool failed);

    Ui::CertificateDialog *ui;
    CertificateData m_draft;
    CalibrationSettings m_settings;
    QString m_written;
};
