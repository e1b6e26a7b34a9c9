#include "app/Language.h"

#include "model/Log.h"
#include "ui/Font.h"
#include "ui/Toolkit.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>

namespace velorin::app {

std::optional<Language> languageFromName(QStringView name) {
    const QStringView n = name.trimmed();
    if (n.compare(u"zh", Qt::CaseInsensitive) == 0)
        return Language::Chinese;
    if (n.compare(u"en", Qt::CaseInsensitive) == 0)
        return Language::English;
    if (n.compare(u"ja", Qt::CaseInsensitive) == 0)
        return Language::Japanese;
    return std::nullopt;
}

Language languageFromLocales(const QStringList& uiLanguages) {
    for (const QString& entry : uiLanguages) {
        // "ja-JP", "ja_JP.UTF-8", "en", "C" ...: the part before the first separator.
        qsizetype end = 0;
        while (end < entry.size() && !QStringView(u"-_.@").contains(entry[end]))
            ++end;
        const QStringView primary = QStringView(entry).left(end);
        if (primary == u"C" || primary == u"POSIX")
            return Language::Chinese;
        if (const std::optional<Language> language = languageFromName(primary))
            return *language;
    }
    // A list that names none of the three (fr, de, es ...) gets English; an empty one is the C locale.
    return uiLanguages.isEmpty() ? Language::Chinese : Language::English;
}

Language chooseLanguage(const std::optional<QString>& option, const QString& environment,
                        const QStringList& uiLanguages, QString* warning) {
    const bool fromOption = option.has_value();
    if (fromOption || !environment.isEmpty()) {
        const QString& forced = fromOption ? *option : environment;
        if (const std::optional<Language> language = languageFromName(forced))
            return *language;
        if (warning) {
            // One line whatever the value holds.
            QString shown = forced.left(40);
            shown.replace(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")), QStringLiteral("?"));
            *warning =
                QStringLiteral(
                    "velorin: unknown language \"%1\" in %2 (use zh, en or ja); following the locale")
                    .arg(shown, fromOption ? QStringLiteral("--lang") : QStringLiteral("VELORIN_LANG"));
        }
    }
    return languageFromLocales(uiLanguages);
}

QString translatorName(Language language) {
    switch (language) {
    case Language::English:
        return QStringLiteral("en");
    case Language::Japanese:
        return QStringLiteral("ja");
    case Language::Chinese:
        break;
    }
    return QStringLiteral("lang_cn");
}

LanguageInstaller::~LanguageInstaller() {
    if (qtTranslator_)
        QCoreApplication::removeTranslator(qtTranslator_.get());
}

bool LanguageInstaller::install(ui::Toolkit& toolkit, Language language) {
    if (language == Language::Japanese) {
        // Qt's own texts of its file dialogs and message boxes, when the system has them. Ours are
        // installed after it and so are asked first.
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
            QCoreApplication::installTranslator(qt.get()))
            qtTranslator_ = std::move(qt);
        ui::installCjkFontSubstitutions(
            {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Source Han Sans JP")});
    }
    const QString name = translatorName(language);
    if (!toolkit.installTranslator(name)) {
        qCInfo(lcSoui) << "no translator installed for" << name;
        return false;
    }
    return true;
}

} // namespace velorin::app
