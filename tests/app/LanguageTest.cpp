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
        std::optional<QString> option; // --lang
        QString environment;           // VELORIN_LANG
        QStringList locales;           // as QLocale::system().uiLanguages() gives them
        Language expected;
        bool warns;
    };
    const Case cases[] = {
        {{}, {}, {"en-US", "en-Latn-US", "en"}, L::English, false},
        {{}, {}, {"ja-JP", "ja-Jpan-JP", "ja"}, L::Japanese, false},
        {{}, {}, {"zh-CN", "zh-Hans-CN", "zh"}, L::Chinese, false},
        {{}, {}, {"C"}, L::Chinese, false},
        {{}, {}, {"POSIX"}, L::Chinese, false},
        {{}, {}, {"fr-FR", "fr-Latn-FR", "fr"}, L::Chinese, false},
        {{}, {}, {}, L::Chinese, false},
        {{}, {}, {"de", "de-DE", "en", "en-US"}, L::English, false}, // LANGUAGE=de:en
        {{}, {}, {"C", "en"}, L::Chinese, false},
        {{}, "ja", {"fr-FR"}, L::Japanese, false},
        {{}, "EN", {"ja-JP"}, L::English, false},
        {"en", "ja", {"zh-CN"}, L::English, false},
        {" zh ", {}, {"en-US"}, L::Chinese, false},
        // An unknown value: one line on stderr, then the locales decide.
        {"fr", {}, {"ja-JP"}, L::Japanese, true},
        {"", "en", {"C"}, L::Chinese, true}, // --lang without its value
        {{}, "xx\nyy", {"en"}, L::English, true},
    };
    for (const Case& c : cases) {
        const std::string what = c.option.value_or("(none)").toStdString() + " / " +
                                 c.environment.toStdString() + " / " + c.locales.join(',').toStdString();
        QString warning;
        EXPECT_EQ(chooseLanguage(c.option, c.environment, c.locales, &warning), c.expected) << what;
        EXPECT_EQ(!warning.isEmpty(), c.warns) << what;
        EXPECT_FALSE(warning.contains(u'\n')) << what;
    }
    // The option's two spellings; the switch test does not see it.
    EXPECT_EQ(parseStartOptions({"--lang", "en"}).lang, QStringLiteral("en"));
    EXPECT_EQ(parseStartOptions({"--lang=ja", "-x"}).lang, QStringLiteral("ja"));
    EXPECT_EQ(parseStartOptions({"--lang", "-x"}).lang, QString());
    EXPECT_EQ(commandLineFromArguments({"--lang", "en", "-x"}), QStringLiteral("-x"));
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

// Literal translate("context", "source") and QT_TRANSLATE_NOOP("context", "source") in the code,
// and the core's VELORIN_TEXT("context", "source") (core/Texts.h).
void collectCode(QList<Text>& out) {
    static const QRegularExpression call(QStringLiteral(
        R"re((?:\btranslate|QT_TRANSLATE_NOOP|\bVELORIN_TEXT)\(\s*"((?:[^"\\]|\\.)*)"\s*,\s*"((?:[^"\\]|\\.)*)"\s*[,)])re"));
    for (const char* layer : {"app", "core", "device", "keysel", "model", "ui"}) {
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
