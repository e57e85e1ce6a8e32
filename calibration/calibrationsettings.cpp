#include "calibration/calibrationsettings.h"

#include "app/userfile.h"

#include <QFileInfo>
#include <QSettings>

const QString CalibrationSettings::DefaultPath = QStringLiteral("calibration.ini");
const QString CalibrationSettings::DefaultProductLine =
    QStringLiteral("Измерительный преобразователь температуры с выходом 4–20 мА");

namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-dd");

void useUtf8(QSettings &settings)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 5 writes an INI file's non-ASCII text as \x escapes unless told; Qt 6 always uses UTF-8.
    settings.setIniCodec("UTF-8");
#else
    Q_UNUSED(settings)
#endif
}

// The value under `key` when it is a number within [lowest, highest], else `fallback`.
double number(const QSettings &settings, const QString &key, double lowest, double highest,
              double fallback)
{
    bool ok = false;
    const double value = settings.value(key).toDouble(&ok);
    return ok && value >= lowest && value <= highest ? value : fallback;
}

} // namespace

bool CalibrationSettings::load(QString *error)
{
    if (!QFileInfo::exists(path))
        return true;
    QSettings settings(path, QSettings::IniFormat);
    useUtf8(settings);
    if (settings.status() != QSettings::NoError) {
        if (error)
            *error = QStringLiteral("Не удалось прочитать настройки калибровки\n%1")
                         .arg(UserFile::shownPath(path));
        return false;
    }
    operatorName = settings.value(QStringLiteral("certificate/operator")).toString();
    productLine =
        settings.value(QStringLiteral("certificate/productLine"), DefaultProductLine).toString();
    if (productLine.trimmed().isEmpty())
        productLine = DefaultProductLine;
    instruments.clear();
    const int count = settings.beginReadArray(QStringLiteral("instruments"));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        ReferenceInstrument instrument;
        instrument.name = settings.value(QStringLiteral("name")).toString();
        instrument.serialNumber = settings.value(QStringLiteral("serialNumber")).toString();
        instrument.dueDate =
            QDate::fromString(settings.value(QStringLiteral("dueDate")).toString(), DateFormat);
        if (!instrument.name.isEmpty() || !instrument.serialNumber.isEmpty())
            instruments << instrument;
    }
    settings.endArray();
    correctionTolerance = number(settings, QStringLiteral("tolerances/correction"), 0.001, 100,
                                 DefaultCorrectionTolerance);
    loopTolerancePercent = number(settings, QStringLiteral("tolerances/loopPercent"), 0.001, 100,
                                  DefaultLoopTolerancePercent);
    stabilityCount = static_cast<int>(
        number(settings, QStringLiteral("stability/count"), 2, 1000, DefaultStabilityCount));
    stabilitySpread =
        number(settings, QStringLiteral("stability/spread"), 0.0001, 100, DefaultStabilitySpread);
    return true;
}

bool CalibrationSettings::save(QString *error) const
{
    QSettings settings(path, QSettings::IniFormat);
    useUtf8(settings);
    // A shorter list leaves none of the longer one's entries behind.
    settings.remove(QStringLiteral("instruments"));
    settings.setValue(QStringLiteral("certificate/operator"), operatorName);
    settings.setValue(QStringLiteral("certificate/productLine"), productLine);
    settings.beginWriteArray(QStringLiteral("instruments"), instruments.size());
    for (int i = 0; i < instruments.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("name"), instruments[i].name);
        settings.setValue(QStringLiteral("serialNumber"), instruments[i].serialNumber);
        settings.setValue(QStringLiteral("dueDate"), instruments[i].dueDate.toString(DateFormat));
    }
    settings.endArray();
    settings.setValue(QStringLiteral("tolerances/correction"), correctionTolerance);
    settings.setValue(QStringLiteral("tolerances/loopPercent"), loopTolerancePercent);
    settings.setValue(QStringLiteral("stability/count"), stabilityCount);
    settings.setValue(QStringLiteral("stability/spread"), stabilitySpread);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        if (error)
            *error = QStringLiteral("Не удалось записать настройки калибровки\n%1")
                         .arg(UserFile::shownPath(path));
        return false;
    }
    return true;
}
