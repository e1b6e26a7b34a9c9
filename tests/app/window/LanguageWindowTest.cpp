// The window in English: its texts, the menu, the name a box shows for a mouse button, the
// keyboard's caption and the message boxes; and "lang.xml" still overrides what it names.
#include "WindowTestSupport.h"

#include "app/Handlers.h"
#include "keysel/KeyboardDialog.h"
#include "keysel/KeyboardLayout.h"
#include "ui/Toolkit.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::app;
using namespace velorin::app::test;

namespace {

// Installs a translation document for one test; Chinese again afterwards.
class InLanguage {
public:
    explicit InLanguage(QStringView name) { EXPECT_TRUE(toolkit().installTranslator(name)); }
    ~InLanguage() { toolkit().installTranslator(u"lang_cn"); }
    InLanguage(const InLanguage&) = delete;
    InLanguage& operator=(const InLanguage&) = delete;
};

QString text(WindowFixture& f, const char* name) {
    const ui::SWindow* w = f.element(QString::fromLatin1(name));
    return w ? w->text() : QStringLiteral("<missing>");
}

} // namespace

TEST(EnglishWindow, ShowsEveryTextInEnglishAndKeepsKeyNames) {
    const InLanguage english(u"en");
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    EXPECT_EQ(f.dlg().windowTitle(), QStringLiteral("Orlesta Adapter Mapper"));
    EXPECT_EQ(text(f, "text_title"), QStringLiteral("Orlesta Adapter Mapper"));
    EXPECT_EQ(text(f, "btn_loadcfg"), QStringLiteral("Load file"));
    EXPECT_EQ(text(f, "btn_savecfg"), QStringLiteral("Save file"));
    EXPECT_EQ(text(f, "btn_default"), QStringLiteral("Defaults"));
    EXPECT_EQ(text(f, "btn_Applay"), QStringLiteral("Apply"));
    EXPECT_EQ(text(f, "btn_switch"), QStringLiteral("SWITCH"));

    MenuSeen seen;
    answerMenu(kFunRclick, &seen);
    f.click(QStringLiteral("btn_ps3_key_L2"));
    EXPECT_EQ(seen.itemTexts, (QStringList{QStringLiteral("Keyboard"), QStringLiteral("Left click"),
                                           QStringLiteral("Right click"), QStringLiteral("Middle click")}));
    EXPECT_EQ(text(f, "btn_ps3_key_L2"), QStringLiteral("Right click"));
    answerMenu(kFunKeyboard);
    answerKeyboard(15); // "Q"
    f.click(QStringLiteral("btn_ps3_key_L1"));
    EXPECT_EQ(text(f, "btn_ps3_key_L1"), QStringLiteral("Q"));

    const auto tpl = keysel::loadKeyboardTemplate();
    ASSERT_TRUE(tpl);
    EXPECT_EQ(keysel::KeyboardWindow(*tpl, &f.dlg()).windowTitle(), QStringLiteral("Keyboard"));

    f.boxes.answerYes = false;
    f.click(QStringLiteral("btn_default"));
    f.click(QStringLiteral("btn_Applay"));
    ASSERT_EQ(f.boxes.shown.size(), 2u);
    EXPECT_EQ(f.boxes.shown[0].text, QStringLiteral("Restore the default assignment?"));
    EXPECT_EQ(f.boxes.shown[1].text,
              QStringLiteral("The adapter cannot be opened (CreateFileHandle error)."));
}

TEST(EnglishWindow, LangXmlStillOverridesTheTextsItNames) {
    const InLanguage english(u"en");
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")}, [](const QString& dir) {
        QFile file(dir + QStringLiteral("lang.xml"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
            "<root><title name=\"Pad Mapper\"/><applay name=\"应用\"/><Lclick name=\"鼠标左键\"/></root>");
    });
    EXPECT_EQ(f.dlg().windowTitle(), QStringLiteral("Pad Mapper"));
    EXPECT_EQ(text(f, "btn_Applay"), QStringLiteral("应用"));
    EXPECT_EQ(text(f, "btn_loadcfg"), QString());
    answerMenu(kFunLclick);
    f.click(QStringLiteral("btn_ps3_key_L2"));
    EXPECT_EQ(text(f, "btn_ps3_key_L2"), QStringLiteral("鼠标左键"));
}
