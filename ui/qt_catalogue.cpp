#include "ui/qt_catalogue.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

bool LoadQtCatalogue(const QString& language)
{
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (language.isEmpty() || language == QLatin1String("en") || !QCoreApplication::instance())
        return false;
    auto translator = std::make_unique<QTranslator>();
    // qt_<language> takes in the catalogues of Qt's modules (qtbase_<language>).
    if (!translator->load(QStringLiteral("qt_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}
