#pragma once

#include "calibration/calibrationrecord.h"

#include <QDate>
#include <QString>

class CertificateNumbers;

// "Протокол калибровки" of one transmitter as a PDF file: the device, who
// calibrated it with which reference instruments, the correction points as
// found and as left, the loop test, a verdict and lines for two signatures.
// The number is the caller's (CertificateData::number): writing a certificate
// never takes one; writeCertificate() below does both, in the right order.
namespace Certificate {

extern const QString DefaultDirectory; // "reports", in the working directory

// "Конфигуратор Veltra 1.2": what CertificateData::program says by default.
QString programText();

// How a procedure went, as the verdict sees it.
enum class Outcome {
    NotDone,    // no result, or one without a point
    Incomplete, // a point without the value its check needs
    Failed,
    Passed,
};
// The correction as left: within tolerance at every point, written and read back.
Outcome correctionOutcome(const CertificateData &data);
Outcome loopOutcome(const CertificateData &data);
// "Годен" only when both passed; "Не годен: …" when either failed, naming
// what; otherwise "Не определён: не проведена …", naming what is missing.
QString verdict(const CertificateData &data);

// Why no certificate is made of `data` on `today`, in the words of a box:
// no operator, no reference instrument, one without a name or a due date or
// past it, no ambient temperature. Empty text when there is nothing against it.
struct Refusal
{
    enum class Field { None, Operator, Instruments, Ambient };
    QString text;
    Field field = Field::None;
    int instrument = -1; // the instrument it is about, or -1
    bool refused() const { return !text.isEmpty(); }
};
Refusal refusal(const CertificateData &data, const QDate &today);

// "Протокол калибровки 2026-000123.pdf", " (2)" before ".pdf" for copy 2.
QString fileName(const QString &number, int copy = 1);
QString html(const CertificateData &data);

// Writes the certificate numbered data.number into `directory`, made if
// missing, under a name no file has. Returns the file's path; on failure
// nothing is left behind, the path is empty and `error` says why.
QString write(const CertificateData &data, const QString &directory, QString *error);

} // namespace Certificate

// Checks `data` (Certificate::refusal on the day it was made, now when
// data.made is not set), then takes the next number from `numbers` and writes
// the certificate under it. Returns the file's path; empty, with `error` saying
// why, when it was refused (no number taken), no number could be taken, or the
// file could not be written (the number taken is then skipped, never reused:
// a gap in the numbers, never a duplicate; `error` names it).
QString writeCertificate(CertificateData data, const QString &directory,
                         CertificateNumbers &numbers, QString *error);
