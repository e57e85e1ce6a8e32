#pragma once

#include "device/devicewords.h"
#include "device/requests.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// "Записать и проверить": reads the device's production data for its serial
// number, writes the settings and the correction points, reads both back and
// compares every field with what was sent, as the floats travel. One request
// at a time: request() is what the current step sends, take() its reply. The
// first refusal, missing or damaged answer ends it; nothing is sent twice.
// No window and no line here: the main window carries the bytes.
class WriteVerify
{
public:
    enum class Step {
        ReadInfo,
        WriteSettings,
        WriteCorrection,
        ReadSettings,
        ReadCorrection,
        Done
    };

    static QString title() { return QStringLiteral("Записать и проверить"); }

    WriteVerify(const Device::ProbeTypeSettings &settings, const Device::CorrectionPoints &points,
                const DeviceWords &words);

    bool finished() const { return current == Step::Done; }
    // The request of the current step; empty once finished.
    QByteArray request() const;
    // The reply to the current step's request: on to the next step, or the end.
    void take(const QByteArray &reply);
    // The current step ends the sequence: why, in words.
    void fail(const QString &why);

    // The text of the one box that tells the outcome.
    QString outcome() const;
    // The outcome on one line of the journal: each differing field as
    // "name: sent → read".
    QString journalResult() const;
    // Finished with every step answered and nothing read back differing.
    bool verified() const { return finished() && failure.isEmpty() && differences.isEmpty(); }

private:
    QByteArray requestOf(Step step) const;

    DeviceWords words;
    QByteArray settingsWrite;
    QByteArray correctionWrite;
    Step current = Step::ReadInfo;
    Step failedStep = Step::Done;
    std::optional<qint32> serialNumber;
    QStringList differences;
    QString failure;
};
