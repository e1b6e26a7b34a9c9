// The language of the window: Chinese (the texts of the layouts and the code, untranslated),
// English or Japanese. This is the one place that chooses it and installs what it needs: the
// translation document of the resource package, Qt's own translation of its dialogs when the
// system has one, and a CJK font that draws Japanese kanji in their Japanese forms.
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <optional>

namespace velorin::ui {
class Toolkit;
}

namespace velorin::app {

enum class Language { Chinese, English, Japanese };

// "zh", "en" or "ja" (case ignored, surrounding blanks allowed); nothing for anything else.
std::optional<Language> languageFromName(QStringView name);

// The system's preference list (QLocale::system().uiLanguages(), which follows LANGUAGE, LC_ALL,
// LC_MESSAGES and LANG): the first entry that names Chinese, English or Japanese decides ("C" and
// "POSIX" count as Chinese); a list that names none of them (French, German ...) gives English,
// an empty list Chinese.
Language languageFromLocales(const QStringList& uiLanguages);

// --lang (given, possibly with an empty value) wins over VELORIN_LANG (when not empty), which wins
// over the locales. A forced value that names no language is reported in `warning` (one line) and
// the locales decide.
Language chooseLanguage(const std::optional<QString>& option, const QString& environment,
                        const QStringList& uiLanguages, QString* warning = nullptr);

// The translation document of the package ("translator:<name>") that gives the language.
QString translatorName(Language language);

// Installs the language in the running application: the package's translation document, Qt's
// own translation of its dialogs when one is installed, and the font preference. Keep the object
// alive while windows show texts.
class LanguageInstaller {
public:
    LanguageInstaller() = default;
    ~LanguageInstaller();
    LanguageInstaller(const LanguageInstaller&) = delete;
    LanguageInstaller& operator=(const LanguageInstaller&) = delete;

    bool install(ui::Toolkit& toolkit, Language language);

private:
    std::unique_ptr<QTranslator> qtTranslator_;
};

} // namespace velorin::app
