#include "desktop/ItalianTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installItalianTranslation(QCoreApplication &app)
{
    // Debian ships it in qt6-translations-l10n, in Qt's own translations folder.
    auto *translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_it"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
