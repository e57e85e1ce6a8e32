#pragma once

#include "calibration/calibrationrecord.h"

#include <QList>
#include <QString>

// What the engineer enters once and the program remembers: kept in an INI
// file in the working directory ("calibration.ini" unless a path is given),
// never in the user's global settings, in UTF-8 under Qt 5 and Qt 6 alike.
//
//   [certificate]
//   operator=Иванов И. И.
//   productLine=Измерительный преобразователь температуры с выходом 4–20 мА
//   [instruments]
//   1\name=Калибратор КТ-1
//   1\serialNumber=123
//   1\dueDate=2027-12-01
//   size=1
//   [tolerances]
//   correction=0.1
//   loopPercent=0.1
//   [stability]
//   count=10
//   spread=0.05
struct CalibrationSettings
{
    static const QString DefaultPath;                          // "calibration.ini"
    static const QString DefaultProductLine;                   // neutral: no brand
    static constexpr double DefaultCorrectionTolerance = 0.1;  // °C
    static constexpr double DefaultLoopTolerancePercent = 0.1; // % of the 16 mA span
    static constexpr int DefaultStabilityCount = 10;           // readings
    static constexpr double DefaultStabilitySpread = 0.05;     // °C

    explicit CalibrationSettings(const QString &path = DefaultPath) : path(path) {}

    QString path;
    QString operatorName;
    QList<ReferenceInstrument> instruments;
    QString productLine = DefaultProductLine;
    double correctionTolerance = DefaultCorrectionTolerance;
    double loopTolerancePercent = DefaultLoopTolerancePercent;
    // Steady: the last `stabilityCount` readings within `stabilitySpread`.
    int stabilityCount = DefaultStabilityCount;
    double stabilitySpread = DefaultStabilitySpread;

    // Reads the file; a file not there yet leaves the defaults, and a value
    // missing or out of its range its default. False, with `error` saying why,
    // when the file is there but cannot be read.
    bool load(QString *error = nullptr);
    // False, with `error` saying why, when the file could not be written.
    bool save(QString *error = nullptr) const;
};
