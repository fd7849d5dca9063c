#include "main/Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace marvoline {

bool installTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    const QString dir = QStringLiteral(":/i18n");
    const QString name = QStringLiteral("marvoline");
    if (translator->load(QLocale(), name, QStringLiteral("_"), dir) ||
        translator->load(name + QStringLiteral("_en"), dir)) {
        QCoreApplication::installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

} // namespace marvoline
