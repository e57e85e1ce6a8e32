#include "app/qttranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace QtTranslations {

QStringList folders()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    const QString qtFolder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"), qtFolder};
}

QString install(QCoreApplication &app)
{
    for (const QString &folder : folders()) {
        auto *translator = new QTranslator(&app);
        if (translator->load(QLatin1String(Catalogue), folder)) {
            app.installTranslator(translator);
            return QDir(folder).filePath(QLatin1String(Catalogue) + QStringLiteral(".qm"));
        }
        delete translator;
    }
    return {};
}

} // namespace QtTranslations
