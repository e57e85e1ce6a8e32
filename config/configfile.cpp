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

// Every key of the file, for writing and reading alike.
namespace Key {
const QString Format("format"), Program("program"), ExportedAt("exportedAt"), Sensor("sensor"),
    KindIndex("kindIndex"), TypeName("typeName"), TypeCode("typeCode"), Range("range"),
    Lower("lower"), Upper("upper"), DampingBuffer("dampingBuffer"), Compensation("compensation"),
    Hysteresis("hysteresis"), Correction("correction"), Enabled("enabled"), Reference("reference"),
    Measured("measured"), Production("production"), SerialNumber("serialNumber"), Date("date"),
    FirmwareVersion("firmwareVersion"), Adc("adc"), ColdJunction("coldJunction"), Fsr("fsr"),
    Ocr("ocr"), NotRead("notRead");
} // namespace Key

// The first format whose files may leave groups out and name them in "notRead".
constexpr int NotReadSince = 2;

const ConfigFile::Group *groupNamed(const QString &name)
{
    for (const ConfigFile::Group &group : ConfigFile::groups())
        if (group.name == name)
            return &group;
    return nullptr;
}

QString quoted(const QString &path)
{
    return QStringLiteral("«%1»").arg(path);
}

QString hexByte(int value)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(2, '0');
}

// Voltage has no code on the wire, and neither has "no kind".
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
// failure nothing further is reported.
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
        const Section result{
            typed(parent, key, QJsonValue::Object, QStringLiteral("объектом { … }")).toObject(),
            parent.prefix + key + '.'};
        onlyKeys(result, keys);
        return result;
    }

    void onlyKeys(const Section &section, const QStringList &keys)
    {
        for (const QString &key : section.object.keys())
            if (!keys.contains(key))
                fail(QStringLiteral("Неизвестное поле %1.").arg(quoted(section.prefix + key)));
    }

    double number(const Section &section, const QString &key)
    {
        return typed(section, key, QJsonValue::Double, QStringLiteral("числом")).toDouble();
    }

    int integer(const Section &section, const QString &key, int min = INT_MIN, int max = INT_MAX)
    {
        const double value = number(section, key);
        const bool bounded = min != INT_MIN || max != INT_MAX;
        if (std::floor(value) != value || value < min || value > max)
            failType(section.prefix + key,
                     bounded ? QStringLiteral("целым числом от %1 до %2").arg(min).arg(max)
                             : QStringLiteral("целым числом"));
        return failed() ? 0 : int(value);
    }

    bool boolean(const Section &section, const QString &key)
    {
        return typed(section, key, QJsonValue::Bool,
                     QStringLiteral("логическим значением (true или false)"))
            .toBool();
    }

    QString string(const Section &section, const QString &key)
    {
        return typed(section, key, QJsonValue::String, QStringLiteral("строкой")).toString();
    }

    QStringList strings(const Section &section, const QString &key)
    {
        const QString what = QStringLiteral("списком строк");
        QStringList result;
        for (const QJsonValue &value : typed(section, key, QJsonValue::Array, what).toArray()) {
            if (!value.isString())
                failType(section.prefix + key, what);
            result << value.toString();
        }
        return result;
    }

    std::array<double, 5> fiveNumbers(const Section &section, const QString &key)
    {
        const QString what = QStringLiteral("списком из 5 чисел");
        const QJsonArray array = typed(section, key, QJsonValue::Array, what).toArray();
        std::array<double, 5> result{};
        bool numbers = array.size() == 5;
        for (int i = 0; numbers && i < 5; ++i) {
            numbers = array.at(i).isDouble();
            result[size_t(i)] = array.at(i).toDouble();
        }
        if (!numbers)
            failType(section.prefix + key, what);
        return result;
    }

    void within(const Section &section, const QString &key, double value, double min, double max)
    {
        if (value < min || value > max)
            fail(QStringLiteral("Значение %1 = %2 вне допустимых пределов от %3 до %4.")
                     .arg(quoted(section.prefix + key), QString::number(value),
                          QString::number(min), QString::number(max)));
    }

    void failType(const QString &path, const QString &what)
    {
        fail(QStringLiteral("Поле %1 должно быть %2.").arg(quoted(path), what));
    }

    QString error;

private:
    QJsonValue typed(const Section &section, const QString &key, QJsonValue::Type type,
                     const QString &what)
    {
        if (!section.object.contains(key))
            fail(QStringLiteral("В файле нет поля %1.").arg(quoted(section.prefix + key)));
        const QJsonValue value = section.object.value(key);
        if (value.type() != type)
            failType(section.prefix + key, what);
        return value;
    }
};

// The groups the file leaves out: known ones, none that a load needs, and
// none of their fields in the file.
QList<quint8> readNotRead(Reader &in, const Section &top)
{
    const QStringList names = in.strings(top, Key::NotRead);
    for (const QString &name : names)
        if (!groupNamed(name))
            in.fail(QStringLiteral("Неизвестная группа %1 в поле %2.")
                        .arg(quoted(name), quoted(Key::NotRead)));
    QList<quint8> notRead;
    QStringList needed;
    for (const ConfigFile::Group &group : ConfigFile::groups()) {
        if (!names.contains(group.name))
            continue;
        notRead << group.command;
        if (group.loaded)
            needed << group.title;
    }
    const QString titles = needed.join(QStringLiteral(" и "));
    if (!titles.isEmpty())
        in.fail(QStringLiteral("%1 не были считаны с прибора при экспорте, и в файле их нет.")
                    .arg(titles.left(1).toUpper() + titles.mid(1)));
    for (const ConfigFile::Group &group : ConfigFile::groups())
        for (const QString &key : group.keys)
            if (notRead.contains(group.command) && top.object.contains(key))
                in.fail(QStringLiteral("Группа %1 названа в поле %2, но её поле %3 есть в файле.")
                            .arg(quoted(group.name), quoted(Key::NotRead), quoted(key)));
    return notRead;
}

void readHeader(Reader &in, const Section &top, DeviceConfig &c)
{
    const int format = in.integer(top, Key::Format);
    if (format < 1)
        in.fail(QStringLiteral("Неизвестная версия формата файла: %1.").arg(format));
    if (format > ConfigFile::Format)
        in.fail(QStringLiteral("Файл записан более новой версией программы (формат %1); эта "
                               "версия читает формат %2.")
                    .arg(format)
                    .arg(ConfigFile::Format));
    QStringList keys = {Key::Format, Key::Program, Key::ExportedAt};
    if (format >= NotReadSince) {
        keys << Key::NotRead;
        c.notRead = readNotRead(in, top);
    }
    for (const ConfigFile::Group &group : ConfigFile::groups())
        keys << group.keys;
    in.onlyKeys(top, keys);
    c.exportedAt = QDateTime::fromString(in.string(top, Key::ExportedAt), Qt::ISODate);
    if (!c.exportedAt.isValid())
        in.failType(Key::ExportedAt,
                    QStringLiteral("датой и временем вида 2026-12-08T10:15:30+03:00"));
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
    if (c.kindIndex < int(SensorKind::Tmp123) || c.kindIndex > int(SensorKind::Rtd4Wire))
        in.fail(QStringLiteral("Неизвестный вид чувствительного элемента: %1 (поле %2).")
                    .arg(c.kindIndex)
                    .arg(quoted(sensor.prefix + Key::KindIndex)));
    if (hasTypeCode(c.kindIndex))
        c.probe.selection = {quint8(c.kindIndex),
                             quint8(in.integer(sensor, Key::TypeCode, 0, 255))};
    else if (!sensor.object.value(Key::TypeCode).isNull())
        in.fail(QStringLiteral("У вида «напряжение» нет кода типа датчика: поле %1 должно "
                               "быть null.")
                    .arg(quoted(sensor.prefix + Key::TypeCode)));
    const int position = typePosition(in, limits, c);
    const QString expectedName = SensorCatalogue::typeNames(c.kindIndex).value(position);
    if (c.typeName != expectedName)
        in.fail(QStringLiteral("Тип %1 не соответствует коду типа датчика (ожидается %2).")
                    .arg(quoted(c.typeName), quoted(expectedName)));
    return position;
}

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
    // The device refuses such a range with a code that does not say why.
    if (c.probe.lower >= c.probe.upper)
        in.fail(QStringLiteral("Значение %1 = %2 не меньше значения %3 = %4.")
                    .arg(quoted(range.prefix + Key::Lower), QString::number(c.probe.lower),
                         quoted(range.prefix + Key::Upper), QString::number(c.probe.upper)));
}

Device::CorrectionPoints readCorrection(Reader &in, const Section &top, const ConfigLimits &limits)
{
    const Section correction =
        in.section(top, Key::Correction, {Key::Enabled, Key::Reference, Key::Measured});
    Device::CorrectionPoints points;
    points.enabled = in.boolean(correction, Key::Enabled);
    points.reference = in.fiveNumbers(correction, Key::Reference);
    points.measured = in.fiveNumbers(correction, Key::Measured);
    const double min = limits.pointMin, max = limits.pointMax;
    for (size_t i = 0; i < 5; ++i) {
        const QString index = QStringLiteral("[%1]").arg(i);
        in.within(correction, Key::Reference + index, points.reference[i], min, max);
        in.within(correction, Key::Measured + index, points.measured[i], min, max);
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
    if (!c.productionDate.isValid())
        in.failType(production.prefix + Key::Date, QStringLiteral("датой вида 2024-03-15"));
    c.firmwareVersion = in.string(production, Key::FirmwareVersion);
}

Device::ConverterConstants readConstants(Reader &in, const Section &top, const QString &key)
{
    const Section constants = in.section(top, key, {Key::Fsr, Key::Ocr});
    return {in.number(constants, Key::Fsr), in.number(constants, Key::Ocr)};
}

} // namespace

namespace ConfigFile {

const QList<Group> &groups()
{
    static const QList<Group> table = {
        {Device::Command::ProbeType,
         QStringLiteral("settings"),
         {Key::Sensor, Key::Range, Key::DampingBuffer, Key::Compensation, Key::Hysteresis},
         QStringLiteral("настройки датчика"),
         true},
        {Device::Command::RefAndMeas,
         Key::Correction,
         {Key::Correction},
         QStringLiteral("точки коррекции"),
         true},
        {Device::Command::DeviceInfo,
         Key::Production,
         {Key::Production},
         QStringLiteral("производственные параметры"),
         false},
        {Device::Command::ADC, Key::Adc, {Key::Adc}, QStringLiteral("константы АЦП"), false},
        {Device::Command::CJ,
         Key::ColdJunction,
         {Key::ColdJunction},
         QStringLiteral("константы ХС"),
         false}};
    return table;
}

QByteArray toJson(const DeviceConfig &c)
{
    const QJsonValue typeCode =
        hasTypeCode(c.kindIndex) ? QJsonValue(int(c.probe.selection.code)) : QJsonValue();
    const QJsonObject sensor{
        {Key::KindIndex, c.kindIndex}, {Key::TypeName, c.typeName}, {Key::TypeCode, typeCode}};
    const std::array<double, 5> &r = c.correction.reference, &m = c.correction.measured;
    const QJsonObject correction{{Key::Enabled, c.correction.enabled},
                                 {Key::Reference, QJsonArray{r[0], r[1], r[2], r[3], r[4]}},
                                 {Key::Measured, QJsonArray{m[0], m[1], m[2], m[3], m[4]}}};
    const QJsonObject production{{Key::SerialNumber, c.serialNumber},
                                 {Key::Date, c.productionDate.toString(Qt::ISODate)},
                                 {Key::FirmwareVersion, c.firmwareVersion}};
    // With the offset, so the file says when it was made wherever it is read.
    const QDateTime exported = c.exportedAt.toOffsetFromUtc(c.exportedAt.offsetFromUtc());
    QJsonObject top{
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
        {Key::Adc, QJsonObject{{Key::Fsr, c.adc.fsr}, {Key::Ocr, c.adc.ocr}}},
        {Key::ColdJunction,
         QJsonObject{{Key::Fsr, c.coldJunction.fsr}, {Key::Ocr, c.coldJunction.ocr}}}};
    QJsonArray notRead;
    for (const Group &group : groups()) {
        if (!c.notRead.contains(group.command))
            continue;
        notRead << group.name;
        for (const QString &key : group.keys)
            top.remove(key);
    }
    top.insert(Key::NotRead, notRead);
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

DeviceConfig fromRecord(const DeviceRecord &record, const QDateTime &exportedAt)
{
    DeviceConfig c;
    c.exportedAt = exportedAt;
    if (const auto &probe = record.probe) {
        c.kindIndex = probe->kind();
        c.typeName =
            SensorCatalogue::typeNames(c.kindIndex)
                .value(SensorCatalogue::standard().decodePosition(probe->kindByte, probe->code));
        c.probe.selection = {probe->kindByte, probe->code};
        c.probe.lower = probe->lower;
        c.probe.upper = probe->upper;
        c.probe.dampingBuffer = probe->dampingBuffer;
        c.probe.compensation = probe->compensation;
        c.probe.hysteresis = probe->hysteresis.value_or(0);
    }
    if (record.correction)
        c.correction = *record.correction;
    if (const auto &info = record.info) {
        c.serialNumber = info->serialNumber;
        c.productionDate = info->date();
        c.firmwareVersion = info->firmware;
    }
    if (record.adc)
        c.adc = *record.adc;
    if (record.coldJunction)
        c.coldJunction = *record.coldJunction;
    for (const Group &group : groups())
        if (!record.hasRead(group.command))
            c.notRead << group.command;
    return c;
}

QStringList outsideLimits(const DeviceConfig &c, const ConfigLimits &limits)
{
    QStringList outside;
    const auto check = [&](const QString &path, double value, double min, double max) {
        if (value < min || value > max)
            outside << quoted(path);
    };
    if (!c.notRead.contains(Device::Command::ProbeType)) {
        const int position =
            limits.catalogue.decodePosition(quint8(c.kindIndex), c.probe.selection.code);
        if (const std::optional<RangeLimits> bounds =
                limits.catalogue.limits(c.kindIndex, position)) {
            check(Key::Range + '.' + Key::Lower, c.probe.lower, bounds->lower, bounds->upper);
            check(Key::Range + '.' + Key::Upper, c.probe.upper, bounds->lower, bounds->upper);
        }
        check(Key::DampingBuffer, c.probe.dampingBuffer, limits.dampingMin, limits.dampingMax);
        check(Key::Hysteresis, c.probe.hysteresis, limits.hysteresisMin, limits.hysteresisMax);
    }
    if (!c.notRead.contains(Device::Command::RefAndMeas)) {
        for (size_t i = 0; i < 5; ++i) {
            const QString index = QStringLiteral("[%1]").arg(i);
            check(Key::Correction + '.' + Key::Reference + index, c.correction.reference[i],
                  limits.pointMin, limits.pointMax);
            check(Key::Correction + '.' + Key::Measured + index, c.correction.measured[i],
                  limits.pointMin, limits.pointMax);
        }
    }
    return outside;
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
    // A file without the settings or the correction points has failed above.
    const int position = readSensor(in, top, limits, c);
    readRange(in, top, limits, position, c);
    c.probe.dampingBuffer = in.integer(top, Key::DampingBuffer);
    in.within(top, Key::DampingBuffer, c.probe.dampingBuffer, limits.dampingMin, limits.dampingMax);
    c.probe.compensation = in.boolean(top, Key::Compensation);
    c.probe.hysteresis = in.number(top, Key::Hysteresis);
    in.within(top, Key::Hysteresis, c.probe.hysteresis, limits.hysteresisMin, limits.hysteresisMax);
    c.correction = readCorrection(in, top, limits);
    if (!c.notRead.contains(Device::Command::DeviceInfo))
        readProduction(in, top, c);
    if (!c.notRead.contains(Device::Command::ADC))
        c.adc = readConstants(in, top, Key::Adc);
    if (!c.notRead.contains(Device::Command::CJ))
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
