// The language of the window: the locale list, --lang and VELORIN_LANG; and that every text the
// window shows has an English and a Japanese translation in the package.
#include "app/Language.h"
#include "app/SingleInstance.h"
#include "app/Velorin.h"
#include "ui/Resources.h"
#include "ui/Translator.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <optional>

using namespace velorin;
using namespace velorin::app;

TEST(Language, ChosenFromTheOptionTheEnvironmentAndTheLocales) {
    using L = Language;
    struct Case {
        std::optional<QString> option;
        QString environment;
        QStringList locales; // as QLocale::system().uiLanguages() gives them
        Language expected;
        bool warns;
    };
    const QStringList french{"fr-FR", "fr-Latn-FR", "fr"};
    const Case cases[] = {
        // The locale alone (LANG, LC_MESSAGES, LC_ALL all end up here).
        {{}, {}, {"en-US", "en-Latn-US", "en"}, L::English, false},
        {{}, {}, {"en-GB"}, L::English, false},
        {{}, {}, {"ja-JP", "ja-Jpan-JP", "ja"}, L::Japanese, false},
        {{}, {}, {"zh-CN", "zh-Hans-CN", "zh"}, L::Chinese, false},
        {{}, {}, {"zh-TW"}, L::Chinese, false},
        {{}, {}, {"C"}, L::Chinese, false},
        {{}, {}, {"POSIX"}, L::Chinese, false},
        {{}, {}, french, L::Chinese, false},
        {{}, {}, {}, L::Chinese, false},
        // LANGUAGE=de:en gives a list; the first language we have wins.
        {{}, {}, {"de", "de-Latn-DE", "de-DE", "en", "en-Latn-US"}, L::English, false},
        {{}, {}, {"fr", "ja", "en"}, L::Japanese, false},
        {{}, {}, {"C", "en"}, L::Chinese, false},
        {{}, {}, {"english"}, L::Chinese, false},
        // VELORIN_LANG, then --lang, force one.
        {{}, "ja", french, L::Japanese, false},
        {{}, "EN", {"ja-JP"}, L::English, false},
        {"zh", {}, {"en-US"}, L::Chinese, false},
        {"en", "ja", {"zh-CN"}, L::English, false},
        {" ja ", {}, {"C"}, L::Japanese, false},
        {"en", {}, {}, L::English, false},
        // An unknown value: one line on stderr, then the locales decide.
        {"fr", {}, {"ja-JP"}, L::Japanese, true},
        {"", "en", {"C"}, L::Chinese, true}, // --lang without its value
        {"en_US", {}, {"C"}, L::Chinese, true},
        {{}, "english", {"en-US"}, L::English, true},
        {{}, "xx\nyy", {"ja"}, L::Japanese, true},
    };
    for (const Case& c : cases) {
        const std::string what =
            (c.option ? "--lang '" + c.option->toStdString() + "'" : std::string("no --lang")) +
            ", VELORIN_LANG '" + c.environment.toStdString() + "', locales " +
            c.locales.join(',').toStdString();
        QString warning;
        EXPECT_EQ(chooseLanguage(c.option, c.environment, c.locales, &warning), c.expected) << what;
        EXPECT_EQ(!warning.isEmpty(), c.warns) << what;
        EXPECT_FALSE(warning.contains(u'\n')) << what;
    }
}

TEST(Language, TheOptionIsReadAndLeftOutOfTheCommandLine) {
    EXPECT_EQ(parseStartOptions({"--lang", "en"}).lang, QStringLiteral("en"));
    EXPECT_EQ(parseStartOptions({"--lang=ja", "-x"}).lang, QStringLiteral("ja"));
    EXPECT_EQ(parseStartOptions({"--lang", "-x"}).lang, QString());
    EXPECT_FALSE(parseStartOptions({"-x"}).lang.has_value());
    EXPECT_TRUE(parseStartOptions({"--help"}).help);
    EXPECT_TRUE(usageText().contains(QStringLiteral("--lang zh|en|ja")));
    EXPECT_EQ(commandLineFromArguments({"--lang", "en", "-x"}), QStringLiteral("-x"));
    EXPECT_EQ(commandLineFromArguments({"-boot", "--lang=ja"}), QStringLiteral("-boot"));
}

namespace {

struct Text {
    QString context;
    QString source;
    QString where;
};

const ui::ResourcePackage& package() {
    return ui::ResourcePackage::embedded();
}

pugi::xml_document parse(QStringView ref) {
    pugi::xml_document doc;
    const std::optional<QByteArray> bytes = package().bytes(ref);
    EXPECT_TRUE(bytes && doc.load_buffer(bytes->constData(), size_t(bytes->size())))
        << ref.toString().toStdString();
    return doc;
}

// "@string/name" from the string table.
QString resolved(const QString& text) {
    if (!text.startsWith(QStringLiteral("@string/")))
        return text;
    const pugi::xml_document strings = parse(u"values:string");
    const QByteArray name = text.mid(8).toUtf8();
    return QString::fromUtf8(strings.document_element().child(name.constData()).attribute("value").value());
}

// The texts of a layout element and its children, with the context each is shown in; included
// layouts are followed.
void collectLayout(const pugi::xml_node& node, QString context, const QString& where, QList<Text>& out) {
    if (const pugi::xml_attribute ctx = node.attribute("trCtx"))
        context = QString::fromUtf8(ctx.value());
    if (std::string_view(node.name()) == "include" && node.attribute("src")) {
        const QString ref = QString::fromUtf8(node.attribute("src").value());
        const pugi::xml_document included = parse(ref);
        collectLayout(included.document_element(), context, ref, out);
    }
    for (const char* attribute : {"title", "text"})
        if (node.attribute(attribute) && std::string_view(node.name()) != "page")
            out.append({context, resolved(QString::fromUtf8(node.attribute(attribute).value())), where});
    const QString text = QString::fromUtf8(node.text().get()).trimmed();
    if (!text.isEmpty())
        out.append({context, resolved(text), where});
    for (const pugi::xml_node child : node.children())
        if (child.type() == pugi::node_element)
            collectLayout(child, context, where, out);
}

// Literal translate("context", "source") and QT_TRANSLATE_NOOP("context", "source") in the code.
void collectCode(QList<Text>& out) {
    static const QRegularExpression call(QStringLiteral(
        R"re((?:\btranslate|QT_TRANSLATE_NOOP)\(\s*"((?:[^"\\]|\\.)*)"\s*,\s*"((?:[^"\\]|\\.)*)"\s*[,)])re"));
    for (const char* layer : {"app", "device", "keysel", "model", "ui"}) {
        QDirIterator it(QStringLiteral(VELORIN_SOURCE_DIR "/") + QLatin1String(layer),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            const QString code = QString::fromUtf8(file.readAll());
            for (auto m = call.globalMatch(code); m.hasNext();) {
                const QRegularExpressionMatch found = m.next();
                out.append({found.captured(1), found.captured(2), it.fileName()});
            }
        }
    }
}

} // namespace

TEST(Language, EveryTextOfTheWindowHasAnEnglishAndAJapaneseTranslation) {
    QList<Text> texts;
    const pugi::xml_document main = parse(u"LAYOUT:XML_MAINWND");
    collectLayout(main.document_element(), {}, QStringLiteral("LAYOUT:XML_MAINWND"), texts);
    const pugi::xml_document keyboard = parse(u"keyboard:265");
    const pugi::xml_node dialog = keyboard.document_element();
    texts.append({QString::fromUtf8(dialog.attribute("trCtx").value()),
                  QString::fromUtf8(dialog.attribute("caption").value()), QStringLiteral("keyboard:265")});
    const qsizetype fromLayouts = texts.size();
    collectCode(texts);
    // The title, the four consoles and the four commands; the keyboard's caption; the menu
    // entries, the messages and the file dialog's texts from the code.
    ASSERT_GE(fromLayouts, 10);
    ASSERT_GE(texts.size() - fromLayouts, 18);

    for (const char* name : {"en", "ja"}) {
        ui::XmlTranslator translator;
        ASSERT_TRUE(translator.loadDocument(*package().bytes(u"translator", QString::fromLatin1(name))))
            << name;
        for (const Text& t : texts) {
            EXPECT_FALSE(t.context.isEmpty()) << t.where.toStdString() << ": \"" << t.source.toStdString()
                                              << "\" has no translation context";
            const QString translated =
                translator.translate(t.context.toUtf8().constData(), t.source.toUtf8().constData());
            EXPECT_FALSE(translated.isEmpty())
                << name << ".xml lacks [" << t.context.toStdString() << "] \"" << t.source.toStdString()
                << "\" (" << t.where.toStdString() << ")";
        }
    }
}
