#pragma once

#include <QList>
#include <QStringList>

#include <optional>

// Sensing-element kinds as the positions of the kind list and as the kind byte
// on the wire.
enum class SensorKind : int {
    Tmp123 = 0,
    Voltage = 1,
    Thermocouple = 2,
    Rtd3Wire = 3,
    Rtd4Wire = 4
};

struct RangeLimits
{
    float lower;
    float upper;
};

struct CodePair
{
    quint8 code;
    quint8 position;
};

// The kind and sensor type code bytes of a ProbeType write.
struct SensorSelection
{
    quint8 kindByte;
    quint8 code;
};

// The sensor types the transmitter knows, their codes on the wire and the
// temperature limits of each type. Built once by the main window.
class SensorCatalogue
{
public:
    static constexpr quint8 Tmp123Code = 0xF0;

    static SensorCatalogue standard();

    bool isEmpty() const { return limitRows.isEmpty(); }

    // The type list shown for a kind: RTDs for kinds 3 and 4, thermocouples for
    // kind 2, none for the others.
    static QStringList typeNames(int kind);

    // Limits of a type; position -1 means the first entry of the kind's row.
    // Empty when the catalogue is not built or the row has no such entry.
    std::optional<RangeLimits> limits(int kind, int position) const;

    // The bytes a write sends for a selection; empty when nothing may be
    // written (voltage, or no kind selected).
    std::optional<SensorSelection> encode(int kind, int position) const;

    // The type-list position of a received code, or -1 when the kind has no
    // type list or the code is unknown.
    int decodePosition(quint8 kindByte, quint8 code) const;

private:
    const QList<CodePair> *codeTable(int kind) const;

    QList<QList<RangeLimits>> limitRows; // 0 RTD, 1 thermocouple, 2 TMP123 and voltage
    QList<CodePair> rtd;
    QList<CodePair> thermocouple;
};
