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

    // The object under a key; any key it has beyond `keys` makes the file foreign.
    QJsonObject object(const QJsonObject &parent, const QString &key, const QString &path,
                       const QStringList &keys)
    {
        const QJsonValue value = take(parent, key, path);
        if (!failed() && !value.isObject())
            failType(path, QStringLiteral("объектом { … }"));
        const QJsonObject result = value.toObject();
        onlyKeys(result, path + '.', keys);
        return result;
    }

    void onlyKeys(const QJsonObject &object, const QString &prefix, const QStringList &keys)
    {
        for (const QString &key : object.keys()) {
            if (!keys.contains(key))
                fail(QStringLiteral("Неизвестное поле %1.").arg(quoted(prefix + key)));
        }
    }

    double number(const QJsonObject &parent, const QString &key, const QString &path)
    {
        const QJsonValue value = take(parent, key, path);
        if (!failed() && !value.isDouble())
            failType(path, QStringLiteral("числом"));
        return failed() ? 0 : value.toDouble();
    }

    int integer(const QJsonObject &parent, const QString &key, const QString &path,
                int min = INT_MIN, int max = INT_MAX)
    {
        const double value = number(parent, key, path);
        const bool bounded = min != INT_MIN || max != INT_MAX;
        if (!failed() && (std::floor(value) != value || value < min || value > max))
            failType(path, bounded ? QStringLiteral("целым числом от %1 до %2").arg(min).arg(max)
                                   : QStringLiteral("целым числом"));
        return failed() ? 0 : int(value);
    }

    bool boolean(const QJsonObject &parent, const QString &key, const QString &path)
    {
        const QJsonValue value = take(parent, key, path);
        if (!failed() && !value.isBool())
            failType(path, QStringLiteral("логическим значением (true или false)"));
        return value.toBool();
    }

    QString string(const QJsonObject &parent, const QString &key, const QString &path)
    {
        const QJsonValue value = take(parent, key, path);
        if (!failed() && !value.isString())
            failType(path, QStringLiteral("строкой"));
        return value.toString();
    }

    std::array<double, 5> fiveNumbers(const QJsonObject &parent, const QString &key,
                                      const QString &path)
    {
        std::array<double, 5> result{};
        const QJsonValue value = take(parent, key, path);
        const QJsonArray array = value.toArray();
        bool numbers = value.isArray() && array.size() == 5;
        for (int i = 0; numbers && i < 5; ++i) {
            numbers = array.at(i).isDouble();
            result[size_t(i)] = array.at(i).toDouble();
        }
        if (!failed() && !numbers)
            failType(path, QStringLiteral("списком из 5 чисел"));
        return result;
    }

    void within(const QString &path, double value, double min, double max)
    {
        if (!failed() && (value < min || value > max))
            fail(QStringLiteral("Значение %1 = %2 вне допустимых пределов от %3 до %4.")
                     .arg(quoted(path), QString::number(value), QString::number(min),
                          QString::number(max)));
    }

    QString error;

private:
    QJsonValue take(const QJsonObject &parent, const QString &key, const QString &path)
    {
        if (!failed() && !parent.contains(key))
            fail(QStringLiteral("В файле нет поля %1.").arg(quoted(path)));
        return parent.value(key);
    }

    void failType(const QString &path, const QString &what)
    {
        fail(QStringLiteral("Поле %1 должно быть %2.").arg(quoted(path), what));
    }
};

const QStringList TopKeys = {
    QStringLiteral("format"),       QStringLiteral("program"),    QStringLiteral("exportedAt"),
    QStringLiteral("sensor"),       QStringLiteral("range"),      QStringLiteral("dampingBuffer"),
    QStringLiteral("compensation"), QStringLiteral("hysteresis"), QStringLiteral("correction"),
    QStringLiteral("production"),   QStringLiteral("adc"),        QStringLiteral("coldJunction")};

void readSensor(Reader &in, const QJsonObject &top, const ConfigLimits &limits, DeviceConfig &c)
{
    const QJsonObject sensor = in.object(
        top, QStringLiteral("sensor"), QStringLiteral("sensor"),
        {QStringLiteral("kindIndex"), QStringLiteral("typeName"), QStringLiteral("typeCode")});
    c.kindIndex =
        in.integer(sensor, QStringLiteral("kindIndex"), QStringLiteral("sensor.kindIndex"));
    c.typeName = in.string(sensor, QStringLiteral("typeName"), QStringLiteral("sensor.typeName"));
    if (in.failed())
        return;
    if (c.kindIndex < int(SensorKind::Tmp123) || c.kindIndex > int(SensorKind::Rtd4Wire)) {
        in.fail(QStringLiteral("Неизвестный вид чувствительного элемента: %1 (поле %2).")
                    .arg(c.kindIndex)
                    .arg(quoted(QStringLiteral("sensor.kindIndex"))));
        return;
    }
    // Voltage has no code on the wire; every other kind must name one.
    const QString codePath = QStringLiteral("sensor.typeCode");
    if (c.kindIndex == int(SensorKind::Voltage)) {
        if (!sensor.value(QStringLiteral("typeCode")).isNull())
            in.fail(QStringLiteral("У вида «напряжение» нет кода типа датчика: поле %1 должно "
                                   "быть null.")
                        .arg(quoted(codePath)));
    } else {
        c.typeCode = quint8(in.integer(sensor, QStringLiteral("typeCode"), codePath, 0, 255));
    }
    if (in.failed())
        return;

    int position = -1;
    if (c.kindIndex == int(SensorKind::Tmp123)) {
        if (*c.typeCode != SensorCatalogue::Tmp123Code)
            in.fail(QStringLiteral("Неизвестный код типа датчика %1 для датчика TMP123 (ожидается "
                                   "%2).")
                        .arg(hexByte(*c.typeCode), hexByte(SensorCatalogue::Tmp123Code)));
    } else if (c.kindIndex != int(SensorKind::Voltage)) {
        position = limits.catalogue.decodePosition(quint8(c.kindIndex), *c.typeCode);
        if (position < 0)
            in.fail(QStringLiteral("Неизвестный код типа датчика %1 для вида чувствительного "
                                   "элемента %2.")
                        .arg(hexByte(*c.typeCode))
                        .arg(c.kindIndex));
    }
    if (in.failed())
        return;
    const QString expectedName = SensorCatalogue::typeNames(c.kindIndex).value(position);
    if (c.typeName != expectedName) {
        in.fail(QStringLiteral("Тип %1 не соответствует коду типа датчика (ожидается %2).")
                    .arg(quoted(c.typeName), quoted(expectedName)));
        return;
    }

    const QJsonObject range = in.object(top, QStringLiteral("range"), QStringLiteral("range"),
                                        {QStringLiteral("lower"), QStringLiteral("upper")});
    c.lower = in.number(range, QStringLiteral("lower"), QStringLiteral("range.lower"));
    c.upper = in.number(range, QStringLiteral("upper"), QStringLiteral("range.upper"));
    const std::optional<RangeLimits> bounds = limits.catalogue.limits(c.kindIndex, position);
    if (!in.failed() && !bounds) {
        in.fail(QStringLiteral("Для типа %1 не заданы границы диапазона.").arg(quoted(c.typeName)));
        return;
    }
    if (bounds) {
        in.within(QStringLiteral("range.lower"), c.lower, bounds->lower, bounds->upper);
        in.within(QStringLiteral("range.upper"), c.upper, bounds->lower, bounds->upper);
    }
}

} // namespace

namespace ConfigFile {

QByteArray toJson(const DeviceConfig &c)
{
    QJsonObject sensor{
        {QStringLiteral("kindIndex"), c.kindIndex},
        {QStringLiteral("typeName"), c.typeName},
        {QStringLiteral("typeCode"), c.typeCode ? QJsonValue(int(*c.typeCode)) : QJsonValue()}};
    QJsonObject correction{{QStringLiteral("enabled"), c.correctionEnabled},
                           {QStringLiteral("reference"), toArray(c.reference)},
                           {QStringLiteral("measured"), toArray(c.measured)}};
    QJsonObject production{{QStringLiteral("serialNumber"), c.serialNumber},
                           {QStringLiteral("date"), c.productionDate.toString(Qt::ISODate)},
                           {QStringLiteral("firmwareVersion"), c.firmwareVersion}};
    // With the offset, so the file says when it was made wherever it is read.
    const QDateTime exported = c.exportedAt.toOffsetFromUtc(c.exportedAt.offsetFromUtc());
    const QJsonObject top{
        {QStringLiteral("format"), Format},
        {QStringLiteral("program"), ProgramName},
        {QStringLiteral("exportedAt"), exported.toString(Qt::ISODate)},
        {QStringLiteral("sensor"), sensor},
        {QStringLiteral("range"),
         QJsonObject{{QStringLiteral("lower"), c.lower}, {QStringLiteral("upper"), c.upper}}},
        {QStringLiteral("dampingBuffer"), c.dampingBuffer},
        {QStringLiteral("compensation"), c.compensation},
        {QStringLiteral("hysteresis"), c.hysteresis},
        {QStringLiteral("correction"), correction},
        {QStringLiteral("production"), production},
        {QStringLiteral("adc"),
         QJsonObject{{QStringLiteral("fsr"), c.adcFsr}, {QStringLiteral("ocr"), c.adcOcr}}},
        {QStringLiteral("coldJunction"),
         QJsonObject{{QStringLiteral("fsr"), c.cjFsr}, {QStringLiteral("ocr"), c.cjOcr}}}};
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
    const QJsonObject top = document.object();
    if (!document.isObject() || top.value(QStringLiteral("program")) != ProgramName ||
        !top.contains(QStringLiteral("format")))
        return {std::nullopt, QStringLiteral("Это не файл конфигурации программы "
                                             "«Конфигуратор Veltra».")};

    Reader in;
    const int format = in.integer(top, QStringLiteral("format"), QStringLiteral("format"));
    if (!in.failed() && format < 1)
        in.fail(QStringLiteral("Неизвестная версия формата файла: %1.").arg(format));
    if (!in.failed() && format > Format)
        in.fail(QStringLiteral("Файл записан более новой версией программы (формат %1); эта "
                               "версия читает формат %2.")
                    .arg(format)
                    .arg(Format));
    in.onlyKeys(top, QString(), TopKeys);

    DeviceConfig c;
    const QString exported =
        in.string(top, QStringLiteral("exportedAt"), QStringLiteral("exportedAt"));
    c.exportedAt = QDateTime::fromString(exported, Qt::ISODate);
    if (!in.failed() && !c.exportedAt.isValid())
        in.fail(QStringLiteral("Поле %1 должно быть датой и временем вида "
                               "2026-12-08T10:15:30+03:00.")
                    .arg(quoted(QStringLiteral("exportedAt"))));

    readSensor(in, top, limits, c);

    c.dampingBuffer =
        in.integer(top, QStringLiteral("dampingBuffer"), QStringLiteral("dampingBuffer"));
    in.within(QStringLiteral("dampingBuffer"), c.dampingBuffer, limits.dampingMin,
              limits.dampingMax);
    c.compensation =
        in.boolean(top, QStringLiteral("compensation"), QStringLiteral("compensation"));
    c.hysteresis = in.number(top, QStringLiteral("hysteresis"), QStringLiteral("hysteresis"));
    in.within(QStringLiteral("hysteresis"), c.hysteresis, limits.hysteresisMin,
              limits.hysteresisMax);

    const QJsonObject correction = in.object(
        top, QStringLiteral("correction"), QStringLiteral("correction"),
        {QStringLiteral("enabled"), QStringLiteral("reference"), QStringLiteral("measured")});
    c.correctionEnabled =
        in.boolean(correction, QStringLiteral("enabled"), QStringLiteral("correction.enabled"));
    c.reference = in.fiveNumbers(correction, QStringLiteral("reference"),
                                 QStringLiteral("correction.reference"));
    c.measured = in.fiveNumbers(correction, QStringLiteral("measured"),
                                QStringLiteral("correction.measured"));
    for (size_t i = 0; i < 5; ++i) {
        const QString index = QStringLiteral("[%1]").arg(i);
        in.within(QStringLiteral("correction.reference") + index, c.reference[i], limits.pointMin,
                  limits.pointMax);
        in.within(QStringLiteral("correction.measured") + index, c.measured[i], limits.pointMin,
                  limits.pointMax);
    }

    // Production data and constants belong to one device and are never
    // loaded, but a file of ours holds them in their proper form.
    const QJsonObject production =
        in.object(top, QStringLiteral("production"), QStringLiteral("production"),
                  {QStringLiteral("serialNumber"), QStringLiteral("date"),
                   QStringLiteral("firmwareVersion")});
    c.serialNumber = in.integer(production, QStringLiteral("serialNumber"),
                                QStringLiteral("production.serialNumber"));
    const QString date =
        in.string(production, QStringLiteral("date"), QStringLiteral("production.date"));
    c.productionDate = QDate::fromString(date, Qt::ISODate);
    if (!in.failed() && !c.productionDate.isValid())
        in.fail(QStringLiteral("Поле %1 должно быть датой вида 2024-03-15.")
                    .arg(quoted(QStringLiteral("production.date"))));
    c.firmwareVersion = in.string(production, QStringLiteral("firmwareVersion"),
                                  QStringLiteral("production.firmwareVersion"));

    const QStringList constantKeys = {QStringLiteral("fsr"), QStringLiteral("ocr")};
    const QJsonObject adc =
        in.object(top, QStringLiteral("adc"), QStringLiteral("adc"), constantKeys);
    c.adcFsr = in.number(adc, QStringLiteral("fsr"), QStringLiteral("adc.fsr"));
    c.adcOcr = in.number(adc, QStringLiteral("ocr"), QStringLiteral("adc.ocr"));
    const QJsonObject cj = in.object(top, QStringLiteral("coldJunction"),
                                     QStringLiteral("coldJunction"), constantKeys);
    c.cjFsr = in.number(cj, QStringLiteral("fsr"), QStringLiteral("coldJunction.fsr"));
    c.cjOcr = in.number(cj, QStringLiteral("ocr"), QStringLiteral("coldJunction.ocr"));

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
