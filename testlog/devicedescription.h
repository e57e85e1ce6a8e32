#pragma once

#include "device/requests.h"

#include <QString>

#include <optional>

// The device as a test run's start event records it: what the connection had
// read from it when the run started, group by group, a group not read being
// empty. text() is the words the events file gets, one line, and parse()
// reads them back field by field; no other code writes or reads that layout.
//
//   Прибор № 1042; версия: 1.07; дата выпуска: 15.03.2024; чувствительный
//   элемент: 3х проводное ТС; тип: ТС-100П 385; диапазон: -50.000 … 150.000;
//   буфер: 4; компенсация ХС: вкл; гистерезис: 0.500; коррекция: вкл; опорные:
//   0.000 25.000 50.000 75.000 100.000; измеренные: 0.000 25.000 … 100.000.
struct DeviceIdentity
{
    qint32 serialNumber = 0;
    QString firmware;
    QString productionDate; // "dd.MM.yyyy", empty for a date that is none
};

struct DeviceSettings
{
    QString element; // the sensing element as the kind list names it
    QString type;    // empty for a kind without a type list or an unknown code
    double lower = 0;
    double upper = 0;
    int dampingBuffer = 0;
    bool compensation = false;
    std::optional<double> hysteresis;

    QString rangeText() const; // "-50.000 … 150.000"
};

struct DeviceDescription
{
    // Outside the class: clang cannot default-construct a nested class with
    // member initializers inside std::optional of its enclosing class.
    using Identity = DeviceIdentity;
    using Settings = DeviceSettings;

    std::optional<Identity> identity;
    std::optional<Settings> settings;
    std::optional<Device::CorrectionPoints> correction;

    bool isEmpty() const { return !identity && !settings && !correction; }

    QString text() const;
    static QString onOff(bool on); // "вкл" or "выкл"
    // The description within an event's text: from its "Прибор" to the end,
    // the full stop left out. Empty when the text holds none.
    static std::optional<DeviceDescription> parse(const QString &eventText);
};
