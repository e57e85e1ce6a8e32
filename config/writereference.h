#pragma once

#include "device/requests.h"

#include <QString>

// What "Записать и проверить" writes and compares against: what the user
// chose to write. A configuration file, with the user's edits made after
// loading it, or the values the user set in the window. What the device
// says never changes it.
struct WriteReference
{
    Device::ProbeTypeSettings settings;
    Device::CorrectionPoints correction;
    bool writable = true; // voltage and "no kind" cannot be written
    QString fileName;     // empty: the window's values
    bool edited = false;  // the file's values, edited since it was loaded

    QString label() const
    {
        if (fileName.isEmpty())
            return QStringLiteral("Эталон: окно");
        return QStringLiteral("Эталон: %1%2")
            .arg(fileName, edited ? QStringLiteral(", изменён") : QString());
    }
    static QString noneLabel() { return QStringLiteral("Эталон не задан"); }
};
