#include "testlog/devicedescription.h"

#include "testlog/csvformat.h"

#include <QStringList>

namespace {

const QString Separator = QStringLiteral("; ");
const QString DeviceWord = QStringLiteral("Прибор");
const QString SerialPrefix = QStringLiteral("Прибор № ");

// The words of each field; a field is "name: value".
namespace Field {
const QString Firmware = QStringLiteral("версия");
const QString Date = QStringLiteral("дата выпуска");
const QString Element = QStringLiteral("чувствительный элемент");
const QString Type = QStringLiteral("тип");
const QString Range = QStringLiteral("диапазон");
const QString Damping = QStringLiteral("буфер");
const QString Compensation = QStringLiteral("компенсация ХС");
const QString Hysteresis = QStringLiteral("гистерезис");
const QString Correction = QStringLiteral("коррекция");
const QString Reference = QStringLiteral("опорные");
const QString Measured = QStringLiteral("измеренные");
} // namespace Field

const QString RangeDash = QStringLiteral(" … ");

QString field(const QString &name, const QString &value)
{
    return name + QStringLiteral(": ") + value;
}

// Text the device or the catalogue supplies must not cut the line into fields.
QString freeText(QString text)
{
    return text.replace(QLatin1Char(';'), QLatin1Char(','));
}

QString numbers(const std::array<double, 5> &values)
{
    QStringList texts;
    for (double value : values)
        texts << CsvFormat::valueText(value);
    return texts.join(QLatin1Char(' '));
}

bool readNumber(const QString &text, double &value)
{
    bool ok = false;
    value = text.toDouble(&ok); // QString::toDouble reads "." whatever the locale
    return ok;
}

bool readNumbers(const QString &text, std::array<double, 5> &values)
{
    const QStringList texts = text.split(QLatin1Char(' '));
    if (texts.size() != int(values.size()))
        return false;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!readNumber(texts[int(i)], values[i]))
            return false;
    }
    return true;
}

} // namespace

QString DeviceSettings::rangeText() const
{
    return CsvFormat::valueText(lower) + RangeDash + CsvFormat::valueText(upper);
}

QString DeviceDescription::onOff(bool on)
{
    return on ? QStringLiteral("вкл") : QStringLiteral("выкл");
}

QString DeviceDescription::text() const
{
    QStringList fields;
    if (identity)
        fields << SerialPrefix + QString::number(identity->serialNumber)
               << field(Field::Firmware, freeText(identity->firmware))
               << field(Field::Date, identity->productionDate);
    else
        fields << QStringLiteral("Прибор не считан в этом подключении");
    if (settings) {
        fields << field(Field::Element, freeText(settings->element));
        if (!settings->type.isEmpty())
            fields << field(Field::Type, freeText(settings->type));
        fields << field(Field::Range, settings->rangeText())
               << field(Field::Damping, QString::number(settings->dampingBuffer))
               << field(Field::Compensation, onOff(settings->compensation));
        if (settings->hysteresis)
            fields << field(Field::Hysteresis, CsvFormat::valueText(*settings->hysteresis));
    } else {
        fields << QStringLiteral("настройки не считаны");
    }
    if (correction)
        fields << field(Field::Correction, onOff(correction->enabled))
               << field(Field::Reference, numbers(correction->reference))
               << field(Field::Measured, numbers(correction->measured));
    else
        fields << QStringLiteral("точки коррекции не считаны");
    return fields.join(Separator) + QLatin1Char('.');
}

std::optional<DeviceDescription> DeviceDescription::parse(const QString &eventText)
{
    const int start = eventText.indexOf(DeviceWord);
    if (start < 0)
        return std::nullopt;
    QString text = eventText.mid(start);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);

    DeviceDescription device;
    bool ok = true;
    for (const QString &part : text.split(Separator)) {
        if (part.startsWith(SerialPrefix)) {
            device.identity.emplace().serialNumber = part.mid(SerialPrefix.size()).toInt(&ok);
            if (!ok)
                return std::nullopt;
            continue;
        }
        const int colon = part.indexOf(QStringLiteral(": "));
        if (colon < 0)
            continue; // a group that was not read
        const QString name = part.left(colon);
        const QString value = part.mid(colon + 2);
        if (name == Field::Firmware && device.identity) {
            device.identity->firmware = value;
        } else if (name == Field::Date && device.identity) {
            device.identity->productionDate = value;
        } else if (name == Field::Element) {
            device.settings.emplace().element = value;
        } else if (device.settings && name == Field::Type) {
            device.settings->type = value;
        } else if (device.settings && name == Field::Range) {
            const QStringList ends = value.split(RangeDash);
            ok = ends.size() == 2 && readNumber(ends[0], device.settings->lower) &&
                 readNumber(ends[1], device.settings->upper);
        } else if (device.settings && name == Field::Damping) {
            device.settings->dampingBuffer = value.toInt(&ok);
        } else if (device.settings && name == Field::Compensation) {
            device.settings->compensation = value == onOff(true);
        } else if (device.settings && name == Field::Hysteresis) {
            ok = readNumber(value, device.settings->hysteresis.emplace());
        } else if (name == Field::Correction) {
            device.correction.emplace().enabled = value == onOff(true);
        } else if (device.correction && name == Field::Reference) {
            ok = readNumbers(value, device.correction->reference);
        } else if (device.correction && name == Field::Measured) {
            ok = readNumbers(value, device.correction->measured);
        }
        if (!ok)
            return std::nullopt;
    }
    return device;
}
