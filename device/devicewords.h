#pragma once

#include "catalogue/sensorcatalogue.h"
#include "device/replies.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The device's commands and the values they carry, in the window's words: what
// the write journal records and what write-and-verify names. Numbers are
// single-precision floats, as they travel.
class DeviceWords
{
public:
    // kindNames: the sensing-element kinds as the window lists them.
    DeviceWords(const QStringList &kindNames, const SensorCatalogue &catalogue);

    // "Запись настроек", "Чтение точек коррекции", "Режим администратора", ...
    static QString commandName(quint8 type, quint8 command);
    // Three decimals at least, and as many more as the float needs to be told apart.
    static QString number(double value);

    QString sensor(quint8 kindByte, quint8 code) const;
    // A group's values: "Чувствительный элемент: …, Диапазон: -50.000 … 150.000, …".
    QString settings(const Device::ProbeTypeReply &probe) const;
    static QString correction(const Device::CorrectionPoints &points);
    static QString constants(const Device::ConverterConstants &constants);
    static QString production(const Device::DeviceInfoReply &info);

    // What a write or action request carries. The administrator password is
    // never put in words, only that one was sent; a payload too short for its
    // command, or a command this program does not know, is shown as hex.
    QString request(const QByteArray &request) const;
    // Raw bytes from the manual packet window, as hex; a frame typed by hand
    // that unlocks administrator mode loses its password the same way.
    static QString rawBytesName() { return QStringLiteral("Байты вручную"); }
    static QString rawBytes(const QByteArray &bytes);

    // Outcomes, each on one line: the result code of a reply and its message,
    // or what became of a request that has none.
    static QString replyResult(const QByteArray &reply, bool checkByteWrong = false);
    static QString noAnswer() { return QStringLiteral("нет ответа за 5 с"); }
    static QString connectionClosed() { return QStringLiteral("нет ответа: связь прервана"); }
    static QString notAFrame()
    {
        return QStringLiteral("не отслеживается: байты не оформлены как пакет");
    }

    // One value of a group, to compare what was sent with what was read.
    struct Field
    {
        QString name;
        QString text;
        std::optional<float> number; // compared as a float; otherwise the text is
    };
    QList<Field> settingsFields(const Device::ProbeTypeReply &probe) const;
    static QList<Field> correctionFields(const Device::CorrectionPoints &points);
    // "name: sent → read" for every field that differs.
    static QStringList differences(const QList<Field> &sent, const QList<Field> &read);

private:
    QStringList kindNames;
    SensorCatalogue catalogue;
};
