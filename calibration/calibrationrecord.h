#pragma once

#include "testlog/devicedescription.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cmath>
#include <optional>

// What a calibration found and left, as the certificate reports it. Plain
// values: the wizards fill them, the certificate only reads them.

// One correction point: the reference the engineer applied, the steady value
// the device measured (before its correction) and the corrected value it gave
// before the new correction was written (as found) and after (as left).
struct CorrectionPointResult
{
    double reference = 0;          // °C, as typed
    double measured = 0;           // °C, the mean of the steady readings
    std::optional<double> asFound; // °C, value 2 with the correction found
    std::optional<double> asLeft;  // °C, value 2 with the correction written

    std::optional<double> asFoundError() const
    {
        return asFound ? std::optional<double>(*asFound - reference) : std::nullopt;
    }
    std::optional<double> asLeftError() const
    {
        return asLeft ? std::optional<double>(*asLeft - reference) : std::nullopt;
    }
};

struct CorrectionResult
{
    QDateTime finished;
    QList<CorrectionPointResult> points;
    double tolerance = 0.1; // °C, either way
    bool verified = false;  // written and read back the same

    static bool within(const std::optional<double> &error, double tolerance)
    {
        return error && std::fabs(*error) <= tolerance + 1e-9;
    }
    bool asFoundPassed() const
    {
        for (const CorrectionPointResult &point : points)
            if (!within(point.asFoundError(), tolerance))
                return false;
        return !points.isEmpty();
    }
    bool asLeftPassed() const
    {
        for (const CorrectionPointResult &point : points)
            if (!within(point.asLeftError(), tolerance))
                return false;
        return verified && !points.isEmpty();
    }
};

// One step of the loop test: the current the output was set to and what the
// meter in the loop showed.
struct LoopPointResult
{
    double setMa = 0;
    std::optional<double> meterMa;

    static constexpr double SpanMa = 16.0;
    // In % of the 4–20 mA span.
    std::optional<double> deviationPercent() const
    {
        return meterMa ? std::optional<double>((*meterMa - setMa) / SpanMa * 100.0) : std::nullopt;
    }
};

struct LoopTestResult
{
    QDateTime finished;
    QList<LoopPointResult> points;
    double tolerancePercent = 0.1; // % of span, either way
    // The output follows the temperature again, as three live readings showed.
    bool released = false;

    bool passed() const
    {
        for (const LoopPointResult &point : points) {
            const std::optional<double> deviation = point.deviationPercent();
            if (!deviation || std::fabs(*deviation) > tolerancePercent + 1e-9)
                return false;
        }
        return !points.isEmpty();
    }
};

struct ReferenceInstrument
{
    QString name;
    QString serialNumber;
    QDate dueDate; // calibration due
};

// Everything a certificate states; the number is given when it is written.
struct CertificateData
{
    QString number; // "2026-000123"
    QDateTime made;
    QString productLine; // the product line and maker, as set up
    QString program;     // the program's name and version
    DeviceDescription device;
    QString operatorName;
    QList<ReferenceInstrument> instruments;
    std::optional<double> ambient; // °C
    std::optional<CorrectionResult> correction;
    std::optional<LoopTestResult> loop;
};
