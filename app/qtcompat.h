#pragma once

// The one place where Qt 5 and Qt 6 behave differently enough to need code.
// (The serial port's error codes differ too; link/porterrors.cpp handles those.)

#include <QtGlobal>

#include <QGuiApplication>

namespace QtCompat {

// Qt 6 always scales the window by the screen's device pixel ratio, passing
// fractional factors through unrounded, and always draws high-resolution
// pixmaps. Qt 5 does none of this unless asked; asking it here, before the
// application object exists, makes both look the same on a high-DPI screen.
inline void useQt6HighDpiBehaviour()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}

} // namespace QtCompat
