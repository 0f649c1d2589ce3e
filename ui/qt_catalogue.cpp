#include "ui/qt_catalogue.h"

#include "core/texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace {

// Qt's texts that its catalogues leave English, worded by the language files; searched
// before Qt's catalogue. A text the files leave as it is stays Qt's.
class TMissingQtTexts : public QTranslator {
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override
    {
        (void)disambiguation;
        (void)n;
        if (qstrcmp(context, "QFileSystemModel") == 0 && qstrcmp(sourceText, "Computer") == 0) {
            const QString text = texts::Extra("QtComputer");
            return text == QLatin1String(sourceText) ? QString() : text;
        }
        return QString();
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

bool LoadQtCatalogue(const QString& language)
{
    static std::unique_ptr<QTranslator> installed;
    static std::unique_ptr<TMissingQtTexts> missing;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (missing) {
        QCoreApplication::removeTranslator(missing.get());
        missing.reset();
    }
    if (!QCoreApplication::instance())
        return false;
    missing = std::make_unique<TMissingQtTexts>();
    QCoreApplication::installTranslator(missing.get());
    if (language.isEmpty() || language == QLatin1String("en"))
        return false;
    auto translator = std::make_unique<QTranslator>();
    // qt_<language> takes in the catalogues of Qt's modules (qtbase_<language>).
    if (!translator->load(QStringLiteral("qt_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    // Installed after (so searched before) the catalogue, the texts it lacks keep theirs.
    QCoreApplication::removeTranslator(missing.get());
    QCoreApplication::installTranslator(translator.get());
    QCoreApplication::installTranslator(missing.get());
    installed = std::move(translator);
    return true;
}
