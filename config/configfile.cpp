#include "config/configfile.h"

#include "app/userfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

#include <climits>
#include <cmath>

namespace {

// Tells a file of this program from any other JSON file.
const QString ProgramName = QStringLiteral("veltra-configurator");

// Every key of the file, for writing and reading alike: the top level's, then
// those of each section.
namespace Key {
const QString Format("format"), Program("program"), ExportedAt("exportedAt");
const QString Sensor("sensor"), KindIndex("kindIndex"), TypeName("typeName"), TypeCode("typeCode");
const QString Range("range"), Lower("lower"), Upper("upper");
const QString DampingBuffer("dampingBuffer"), Compensation("compensation"),
    Hysteresis("hysteresis");
const QString Correction("correction"), Enabled("enabled"), Reference("reference"),
    Measured("measured");
const QString Production("production"), SerialNumber("serialNumber"), Date("date"),
    FirmwareVersion("firmwareVersion");
const QString Adc("adc"), ColdJunction("coldJunction"), Fsr("fsr"), Ocr("ocr");
} // namespace Key

const QStringList TopKeys = {Key::Format,       Key::Program,    Key::ExportedAt,
                             Key::Sensor,       Key::Range,      Key::DampingBuffer,
                             Key::Compensation, Key::Hysteresis, Key::Correction,
                             Key::Production,   Key::Adc,        Key::ColdJunction};

QString quoted(const QString &path)
{
    return QStringLiteral("«%1»").arg(path);
}

QString hexByte(int value)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(2, '0');
}

QJsonArray toArray(const std::array<double, 5> &values)
{
    QJsonArray array;
    for (double value : values)
        array.append(value);
    return array;
}

QJsonObject toObject(const Device::ConverterConstants &constants)
{
    return {{Key::Fsr, constants.fsr}, {Key::Ocr, constants.ocr}};
}

// Voltage has no code on the wire, and neither has "no kind"; every other kind
// names one.
bool hasTypeCode(int kindIndex)
{
    return kindIndex >= 0 && kindIndex != int(SensorKind::Voltage);
}

// An object of the file and where it sits: "" for the top level, "range." for the range.
struct Section
{
    QJsonObject object;
    QString prefix;
};

// Reads fields one by one and keeps the first thing that is wrong; after a
// failure every further read returns a default and changes nothing.
class Reader
{
public:
    bool failed() const { return !error.isEmpty(); }

    void fail(const QString &text)
    {
        if (error.isEmpty())
            error = text;
    }

    // The section under a key; any key it has beyond `keys` makes the file foreign.
    Section section(const Section &parent, const QString &key, const QStringList &keys)
    {
        const QJsonValue value = take(parent, key);
        if (!failed() && !value.isObject())
            failType(parent.prefix + key, QStringLiteral("объектом { … }"));
        const Section result{value.toObject(), parent.prefix + key + '.'};
        onlyKeys(result, keys);
        return result;
    }

    void onlyKeys(const Section &section, const QStringList &keys)
    {
        for (const QString &key : section.object.keys()) {
            if (!keys.contains(key))
                fail(QStringLiteral("Неизвестное поле %1.").arg(quoted(section.prefix + key)));
        }
    }

    double number(const Section &section, const QString &key)
    {
        const QJsonValue value = take(section, key);
        if (!failed() && !value.isDouble())
            failType(section.prefix + key, QStringLiteral("числом"));
        return failed() ? 0 : value.toDouble();
    }

    int integer(const Section &section, const QString &key, int min = INT_MIN, int max = INT_MAX)
    {
        const double value = number(section, key);
        const bool bounded = min != INT_MIN || max != INT_MAX;
        if (!failed() && (std::floor(value) != value || value < min || value > max))
            failType(section.prefix + key,
                     bounded ? QStringLiteral("целым числом от %1 до %2").arg(min).arg(max)
                             : QStringLiteral("целым числом"));
        return failed() ? 0 : int(value);
    }

    bool boolean(const Section &section, const QString &key)
    {
        const QJsonValue value = take(section, key);
        if (!failed() && !value.isBool())
            failType(section.prefix + key, QStringLiteral("логическим значением (true или false)"));
        return value.toBool();
    }

    QString string(const Section &section, const QString &key)
    {
        const QJsonValue value = take(section, key);
        if (!failed() && !value.isString())
            failType(section.prefix + key, QStringLiteral("строкой"));
        return value.toString();
    }

    std::array<double, 5> fiveNumbers(const Section &section, const QString &key)
    {
        std::array<double, 5> result{};
        const QJsonValue value = take(section, key);
        const QJsonArray array = value.toArray();
        bool numbers = value.isArray() && array.size() == 5;
        for (int i = 0; numbers && i < 5; ++i) {
            numbers = array.at(i).isDouble();
            result[size_t(i)] = array.at(i).toDouble();
        }
        if (!failed() && !numbers)
            failType(section.prefix + key, QStringLiteral("списком из 5 чисел"));
        return result;
    }

    void within(const Section &section, const QString &key, double value, double min, double max)
    {
        if (!failed() && (value < min || value > max))
            fail(QStringLiteral("Значение %1 = %2 вне допустимых пределов от %3 до %4.")
                     .arg(quoted(section.prefix + key), QString::number(value),
                          QString::number(min), QString::number(max)));
    }

    QString error;

private:
    QJsonValue take(const Section &section, const QString &key)
    {
        if (!failed() && !section.object.contains(key))
            fail(QStringLiteral("В файле нет поля %1.").arg(quoted(section.prefix + key)));
        return section.object.value(key);
    }

    void failType(const QString &path, const QString &what)
    {
        fail(QStringLiteral("Поле %1 должно быть %2.").arg(quoted(path), what));
    }
};

// The format, the keys of the top level and the time of export.
void readHeader(Reader &in, const Section &top, DeviceConfig &c)
{
    const int format = in.integer(top, Key::Format);
    if (!in.failed() && format < 1)
        in.fail(QStringLiteral("Неизвестная версия формата файла: %1.").arg(format));
    if (!in.failed() && format > ConfigFile::Format)
        in.fail(QStringLiteral("Файл записан более новой версией программы (формат %1); эта "
                               "версия читает формат %2.")
                    .arg(format)
                    .arg(ConfigFile::Format));
    in.onlyKeys(top, TopKeys);
    c.exportedAt = QDateTime::fromString(in.string(top, Key::ExportedAt), Qt::ISODate);
    if (!in.failed() && !c.exportedAt.isValid())
        in.fail(QStringLiteral("Поле %1 должно быть датой и временем вида "
                               "2026-12-08T10:15:30+03:00.")
                    .arg(quoted(Key::ExportedAt)));
}

// The position of the type in its kind's list, -1 for kinds without a list.
int typePosition(Reader &in, const ConfigLimits &limits, const DeviceConfig &c)
{
    const quint8 code = c.probe.selection.code;
    if (in.failed() || !hasTypeCode(c.kindIndex))
        return -1;
    if (c.kindIndex == int(SensorKind::Tmp123)) {
        if (code != SensorCatalogue::Tmp123Code)
            in.fail(QStringLiteral("Неизвестный код типа датчика %1 для датчика TMP123 (ожидается "
                                   "%2).")
                        .arg(hexByte(code), hexByte(SensorCatalogue::Tmp123Code)));
        return -1;
    }
    const int position = limits.catalogue.decodePosition(quint8(c.kindIndex), code);
    if (position < 0)
        in.fail(QStringLiteral("Неизвестный код типа датчика %1 для вида чувствительного "
                               "элемента %2.")
                    .arg(hexByte(code))
                    .arg(c.kindIndex));
    return position;
}

// The kind, and the type by its code and by its name; returns the type's position.
int readSensor(Reader &in, const Section &top, const ConfigLimits &limits, DeviceConfig &c)
{
    const Section sensor =
        in.section(top, Key::Sensor, {Key::KindIndex, Key::TypeName, Key::TypeCode});
    c.kindIndex = in.integer(sensor, Key::KindIndex);
    c.typeName = in.string(sensor, Key::TypeName);
    if (!in.failed() &&
        (c.kindIndex < int(SensorKind::Tmp123) || c.kindIndex > int(SensorKind::Rtd4Wire)))
        in.fail(QStringLiteral("Неизвестный вид чувствительного элемента: %1 (поле %2).")
                    .arg(c.kindIndex)
                    .arg(quoted(sensor.prefix + Key::KindIndex)));
    if (hasTypeCode(c.kindIndex))
        c.probe.selection = {quint8(c.kindIndex),
                             quint8(in.integer(sensor, Key::TypeCode, 0, 255))};
    else if (!in.failed() && !sensor.object.value(Key::TypeCode).isNull())
        in.fail(QStringLiteral("У вида «напряжение» нет кода типа датчика: поле %1 должно "
                               "быть null.")
                    .arg(quoted(sensor.prefix + Key::TypeCode)));
    const int position = typePosition(in, limits, c);
    const QString expectedName = SensorCatalogue::typeNames(c.kindIndex).value(position);
    if (!in.failed() && c.typeName != expectedName)
        in.fail(QStringLiteral("Тип %1 не соответствует коду типа датчика (ожидается %2).")
                    .arg(quoted(c.typeName), quoted(expectedName)));
    return position;
}

// The range must fit the limits of the type at `position`.
void readRange(Reader &in, const Section &top, const ConfigLimits &limits, int position,
               DeviceConfig &c)
{
    const Section range = in.section(top, Key::Range, {Key::Lower, Key::Upper});
    c.probe.lower = in.number(range, Key::Lower);
    c.probe.upper = in.number(range, Key::Upper);
    const std::optional<RangeLimits> bounds = limits.catalogue.limits(c.kindIndex, position);
    if (!bounds) {
        in.fail(QStringLiteral("Для типа %1 не заданы границы диапазона.").arg(quoted(c.typeName)));
        return;
    }
    in.within(range, Key::Lower, c.probe.lower, bounds->lower, bounds->upper);
    in.within(range, Key::Upper, c.probe.upper, bounds->lower, bounds->upper);
}

// The damping buffer, compensation and hysteresis, which sit at the top level.
void readSettings(Reader &in, const Section &top, const ConfigLimits &limits,
                  Device::ProbeTypeSettings &probe)
{
    probe.dampingBuffer = in.integer(top, Key::DampingBuffer);
    in.within(top, Key::DampingBuffer, probe.dampingBuffer, limits.dampingMin, limits.dampingMax);
    probe.compensation = in.boolean(top, Key::Compensation);
    probe.hysteresis = in.number(top, Key::Hysteresis);
    in.within(top, Key::Hysteresis, probe.hysteresis, limits.hysteresisMin, limits.hysteresisMax);
}

Device::CorrectionPoints readCorrection(Reader &in, const Section &top, const ConfigLimits &limits)
{
    const Section correction =
        in.section(top, Key::Correction, {Key::Enabled, Key::Reference, Key::Measured});
    Device::CorrectionPoints points;
    points.enabled = in.boolean(correction, Key::Enabled);
    points.reference = in.fiveNumbers(correction, Key::Reference);
    points.measured = in.fiveNumbers(correction, Key::Measured);
    for (size_t i = 0; i < 5; ++i) {
        const QString index = QStringLiteral("[%1]").arg(i);
        in.within(correction, Key::Reference + index, points.reference[i], limits.pointMin,
                  limits.pointMax);
        in.within(correction, Key::Measured + index, points.measured[i], limits.pointMin,
                  limits.pointMax);
    }
    return points;
}

// Production data and constants belong to one device and are never loaded,
// but a file of ours holds them in their proper form.
void readProduction(Reader &in, const Section &top, DeviceConfig &c)
{
    const Section production =
        in.section(top, Key::Production, {Key::SerialNumber, Key::Date, Key::FirmwareVersion});
    c.serialNumber = in.integer(production, Key::SerialNumber);
    c.productionDate = QDate::fromString(in.string(production, Key::Date), Qt::ISODate);
    if (!in.failed() && !c.productionDate.isValid())
        in.fail(QStringLiteral("Поле %1 должно быть датой вида 2024-03-15.")
                    .arg(quoted(production.prefix + Key::Date)));
    c.firmwareVersion = in.string(production, Key::FirmwareVersion);
}

Device::ConverterConstants readConstants(Reader &in, const Section &top, const QString &key)
{
    const Section constants = in.section(top, key, {Key::Fsr, Key::Ocr});
    return {in.number(constants, Key::Fsr), in.number(constants, Key::Ocr)};
}

} // namespace

namespace ConfigFile {

QByteArray toJson(const DeviceConfig &c)
{
    const QJsonValue typeCode =
        hasTypeCode(c.kindIndex) ? QJsonValue(int(c.probe.selection.code)) : QJsonValue();
    const QJsonObject sensor{
        {Key::KindIndex, c.kindIndex}, {Key::TypeName, c.typeName}, {Key::TypeCode, typeCode}};
    const QJsonObject correction{{Key::Enabled, c.correction.enabled},
                                 {Key::Reference, toArray(c.correction.reference)},
                                 {Key::Measured, toArray(c.correction.measured)}};
    const QJsonObject production{{Key::SerialNumber, c.serialNumber},
                                 {Key::Date, c.productionDate.toString(Qt::ISODate)},
                                 {Key::FirmwareVersion, c.firmwareVersion}};
    // With the offset, so the file says when it was made wherever it is read.
    const QDateTime exported = c.exportedAt.toOffsetFromUtc(c.exportedAt.offsetFromUtc());
    const QJsonObject top{
        {Key::Format, Format},
        {Key::Program, ProgramName},
        {Key::ExportedAt, exported.toString(Qt::ISODate)},
        {Key::Sensor, sensor},
        {Key::Range, QJsonObject{{Key::Lower, c.probe.lower}, {Key::Upper, c.probe.upper}}},
        {Key::DampingBuffer, c.probe.dampingBuffer},
        {Key::Compensation, c.probe.compensation},
        {Key::Hysteresis, c.probe.hysteresis},
        {Key::Correction, correction},
        {Key::Production, production},
        {Key::Adc, toObject(c.adc)},
        {Key::ColdJunction, toObject(c.coldJunction)}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

ConfigParseResult parse(const QByteArray &json, const ConfigLimits &limits)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("Файл повреждён или обрезан: это не JSON (ошибка в "
                                             "позиции %1).")
                                  .arg(parseError.offset)};
    const Section top{document.object(), QString()};
    if (!document.isObject() || top.object.value(Key::Program) != ProgramName ||
        !top.object.contains(Key::Format))
        return {std::nullopt, QStringLiteral("Это не файл конфигурации программы "
                                             "«Конфигуратор Veltra».")};

    // Section by section, in the order of the checks that find the first fault.
    Reader in;
    DeviceConfig c;
    readHeader(in, top, c);
    const int position = readSensor(in, top, limits, c);
    readRange(in, top, limits, position, c);
    readSettings(in, top, limits, c.probe);
    c.correction = readCorrection(in, top, limits);
    readProduction(in, top, c);
    c.adc = readConstants(in, top, Key::Adc);
    c.coldJunction = readConstants(in, top, Key::ColdJunction);
    if (in.failed())
        return {std::nullopt, in.error};
    return {c, QString()};
}

QString fileName(const QString &serial, const QDateTime &localTime, int copy)
{
    QString safe;
    for (const QChar ch : serial.trimmed()) {
        const bool refused = ch.unicode() < 0x20 || QStringLiteral("<>:\"/\\|?*").contains(ch);
        safe += refused ? QChar('_') : ch;
    }
    // Windows drops trailing dots and spaces from a name.
    while (safe.endsWith('.') || safe.endsWith(' '))
        safe.chop(1);
    if (safe.isEmpty())
        safe = QStringLiteral("config");
    return safe + '_' + localTime.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
           UserFile::copySuffix(copy) + QStringLiteral(".json");
}

} // namespace ConfigFile
