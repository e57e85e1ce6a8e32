#pragma once

// Where Qt 5 and Qt 6 differ at start-up. Two more differences sit with their code:
// the chart namespace in plot/chartcompat.h, the port error codes in link/porterrors.cpp.

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
