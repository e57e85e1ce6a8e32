#pragma once

#include <QDate>
#include <QString>

#include <optional>

// Certificate numbers unique on this PC, "<year>-<sequence>", the sequence of
// at least six digits: "2026-000123". The last number issued is kept in a
// counter file (one line, "2026-000123"), in the working directory unless a
// path is given, so numbering continues across program starts.
//
// The sequence never restarts, not even with a new year: the year is only the
// year of issue, and a number stays unique even when the PC's clock is set
// back or two years' certificates are compared. 2027's first certificate after
// 2026-000123 is 2027-000124.
//
// next() reads and rewrites the file under a lock file beside it, so two
// programs (or two threads) never issue one number twice, and rewrites it
// whole or not at all (QSaveFile), so a crash never leaves half a counter. A
// counter file that cannot be read or holds anything else than a number is
// refused rather than started again at 1, which could issue a number twice.
class CertificateNumbers
{
public:
    static const QString DefaultPath; // "certificates.counter"
    static constexpr int LockTimeoutMs = 10000;

    explicit CertificateNumbers(const QString &path = DefaultPath);

    QString path() const { return m_path; }

    // The next number, issued for `today`: the counter file then holds it.
    // Empty, with `error` saying why in the user's words, when no number
    // could be issued; the counter is then as it was.
    std::optional<QString> next(const QDate &today, QString *error);

    // "2026-000123".
    static QString format(int year, qint64 sequence);

private:
    QString m_path;
};
