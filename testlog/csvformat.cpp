#include "testlog/csvformat.h"

#include "app/userfile.h"

#include <QDateTime>
#include <QLocale>

namespace CsvFormat {

QString fileName(const QDateTime &start, int copy, const QString &prefix)
{
    return (prefix.isEmpty() ? QString() : prefix + QLatin1Char(' ')) +
           QLocale::c().toString(start, QStringLiteral("dd.MM.yy hh.mm.ss")) +
           UserFile::copySuffix(copy) + QStringLiteral(".csv");
}

QStringList headerFields()
{
    QStringList fields{QStringLiteral("Время")};
    for (const char *name : HeaderNames)
        fields.append(QString::fromUtf8(name));
    return fields;
}

QString timeText(const QDateTime &time)
{
    return QLocale::c().toString(time, QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

QString valueText(double value)
{
    // QString::number never consults the locale.
    QString text = QString::number(value, 'f', 3);
    if (text == QLatin1String("-0.000"))
        text.remove(0, 1);
    return text;
}

QString signedValueText(double value)
{
    const QString text = valueText(value);
    return value > 0 && text != QLatin1String("0.000") ? QLatin1Char('+') + text : text;
}

QStringList rowFields(const QDateTime &time, const QList<double> &values)
{
    QStringList fields;
    fields.reserve(FieldCount);
    fields.append(timeText(time));
    for (int i = 0; i < ValueCount; ++i)
        fields.append(valueText(values.value(i, 0.0)));
    return fields;
}

QByteArray line(const QStringList &fields)
{
    QByteArray bytes = fields.join(QLatin1Char(';')).toUtf8();
    bytes.append('\n');
    return bytes;
}

} // namespace CsvFormat
