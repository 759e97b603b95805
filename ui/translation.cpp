#include "translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace {

// Qt 6 takes the texts of the standard buttons (Yes, No, Cancel, OK...) from the context
// QPlatformTheme, while the Slovak translation still files them under QDialogButtonBox, where
// Qt 5 looked for them. The same source texts are looked up there when the new context has
// none.
class QtTranslation : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        QString translated = QTranslator::translate(context, sourceText, disambiguation, n);
        if (translated.isEmpty() && context && std::strcmp(context, "QPlatformTheme") == 0)
            translated = QTranslator::translate("QDialogButtonBox", sourceText, disambiguation, n);
        return translated;
    }
};

} // namespace

bool installSlovakQtTranslation(QCoreApplication& application) {
    auto* translator = new QtTranslation(&application);
    if (!translator->load(QLocale(QLocale::Slovak, QLocale::Slovakia), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
