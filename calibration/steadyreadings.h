#pragma once

#include <QList>
#include <QString>

#include <optional>

// The last `count` readings of a value that must settle, each with a companion
// read at the same time (the corrected value beside the measured one). Steady
// once `count` readings lie within `spread` of each other.
class SteadyReadings
{
public:
    SteadyReadings(int count, double spread);

    void add(double value, double companion);
    void clear();

    int size() const { return int(values.size()); }
    int needed() const { return count; }
    bool steady() const;
    // Largest minus smallest of the readings kept; 0 for fewer than two.
    double spreadNow() const;
    double mean() const;
    double companionMean() const;

private:
    int count;
    double spread;
    QList<double> values;
    QList<double> companions;
};

// A number as a person types it: a point or a comma before the decimals,
// blanks around it. Nothing for an empty text, text, or infinity.
std::optional<double> parseReading(const QString &text);
