#pragma once

#include "device/devicerecord.h"
#include "device/requests.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the main window shows of one transmitter, as a configuration file
// holds it. The kind is the position in the kind list, -1 for none.
struct DeviceConfig
{
    int kindIndex = 0;
    QString typeName; // empty for kinds without a type list
    // The selection's code is the sensor type code; voltage and no kind have none.
    Device::ProbeTypeSettings probe;
    Device::CorrectionPoints correction;
    int serialNumber = 0;
    QDate productionDate;
    QString firmwareVersion;
    Device::ConverterConstants adc;
    Device::ConverterConstants coldJunction;
    QDateTime exportedAt;
    // The groups (by command) the file leaves out, as not read from the device
    // in the connection it was exported from; their fields above mean nothing.
    QList<quint8> notRead;
};

// The bounds of the boxes a configuration is loaded into. The range boxes
// take the bounds of the selected type from the catalogue.
struct ConfigLimits
{
    SensorCatalogue catalogue;
    int dampingMin = 0;
    int dampingMax = 0;
    double hysteresisMin = 0;
    double hysteresisMax = 0;
    double pointMin = 0;
    double pointMax = 0;
};

// A parsed file, or why it cannot be loaded (a Russian sentence for the user).
struct ConfigParseResult
{
    std::optional<DeviceConfig> config;
    QString error;
};

namespace ConfigFile {

// The version this program writes. Files of a later version are refused
// rather than half understood. Format 2 leaves out the groups not read.
constexpr int Format = 2;

// A group of values that the device reads and writes with one command.
struct Group
{
    quint8 command;   // Device::Command
    QString name;     // in the file's "notRead" list
    QStringList keys; // the file's top-level fields that hold it
    QString title;    // in the window's messages
    bool loaded;      // a load puts it into the controls
};

// In the order of the file.
const QList<Group> &groups();

QByteArray toJson(const DeviceConfig &config);

// What a connection has read from the device, as a file holds it; the
// groups not read are left out.
DeviceConfig fromRecord(const DeviceRecord &record, const QDateTime &exportedAt);
// The fields of the groups read whose values lie outside the bounds a load
// checks, as the file names them («range.lower», …).
QStringList outsideLimits(const DeviceConfig &config, const ConfigLimits &limits);

// Checks everything a load needs before anything is applied: the file is
// whole JSON, it is one of ours of a format this program reads, every field
// has its type, the sensor type is known and matches its name, every value
// fits its box, the range's lower value is below its upper, and the file
// holds the settings and correction points that a load puts into the window.
ConfigParseResult parse(const QByteArray &json, const ConfigLimits &limits);

// "<serial>_2026-12-08_10-15-30.json" for copy 1, then "... (2).json" and on,
// so that a name already taken can be passed over. Characters that some file
// systems refuse in a name become "_".
QString fileName(const QString &serial, const QDateTime &localTime, int copy = 1);

} // namespace ConfigFile
