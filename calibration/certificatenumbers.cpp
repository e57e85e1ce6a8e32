#include "calibration/certificatenumbers.h"

#include "app/userfile.h"

#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>

const QString CertificateNumbers::DefaultPath = QStringLiteral("certificates.counter");

namespace {

// The sequence of the number the file holds: 0 when there is no file yet,
// empty when it cannot be read or is not a number.
std::optional<qint64> lastSequence(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return 0;
    const QString shown = UserFile::shownPath(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Не удалось прочитать счётчик номеров протоколов\n%1\n%2")
                     .arg(shown, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.read(64);
    static const QRegularExpression number(QStringLiteral("^\\d{4}-(\\d{6,12})\\r?\\n?$"));
    const QRegularExpressionMatch match = number.match(QString::fromLatin1(bytes));
    if (file.error() != QFileDevice::NoError || !match.hasMatch()) {
        *error = QStringLiteral("Счётчик номеров протоколов испорчен: в нём не номер вида "
                                "2026-000123\n%1\nНомер не выдан, чтобы не повторить уже "
                                "выданный. Впишите в файл последний выданный номер.")
                     .arg(shown);
        return std::nullopt;
    }
    return match.captured(1).toLongLong();
}

} // namespace

CertificateNumbers::CertificateNumbers(const QString &path) : m_path(path) {}

QString CertificateNumbers::format(int year, qint64 sequence)
{
    return QStringLiteral("%1-%2")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(sequence, 6, 10, QLatin1Char('0'));
}

std::optional<QString> CertificateNumbers::next(const QDate &today, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    const QString shown = UserFile::shownPath(m_path);
    if (!today.isValid() || today.year() < 1000 || today.year() > 9999) {
        *error = QStringLiteral("Номер протокола не выдан: неверная дата");
        return std::nullopt;
    }
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockTimeoutMs)) {
        *error =
            lock.error() == QLockFile::LockFailedError
                ? QStringLiteral("Счётчик номеров протоколов занят другой программой\n%1")
                      .arg(shown)
                : QStringLiteral("Не удалось занять счётчик номеров протоколов\n%1").arg(shown);
        return std::nullopt;
    }
    const std::optional<qint64> last = lastSequence(m_path, error);
    if (!last)
        return std::nullopt;
    const QString number = format(today.year(), *last + 1);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write((number + '\n').toLatin1()) < 0 ||
        !file.commit()) {
        *error = QStringLiteral("Не удалось записать счётчик номеров протоколов\n%1\n%2")
                     .arg(shown, file.errorString());
        return std::nullopt;
    }
    return number;
}
