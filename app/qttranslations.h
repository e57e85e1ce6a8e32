#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// Qt's own texts (file dialogs, the standard buttons of message boxes, the
// context menus of text boxes) in Russian, as the rest of the program is.
// The catalogue is loaded by name whatever the system's language, and the
// default locale is left alone, so number boxes keep their decimal point.
namespace QtTranslations {

constexpr char Catalogue[] = "qtbase_ru";

// Where the catalogue is looked for, in order: "translations" beside the
// executable (the Windows package), then Qt's own translations folder
// (Debian's qttranslations5-l10n, or qt6-translations-l10n for Qt 6).
QStringList folders();

// Installs the catalogue into `app`. Returns the file it came from, empty
// when there was none: the program then goes on in Qt's English.
QString install(QCoreApplication &app);

} // namespace QtTranslations
