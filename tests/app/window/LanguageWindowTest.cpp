// The window in English: its texts, the menu, the name a box shows for a mouse button, the
// keyboard's caption and the message boxes; and "lang.xml" still overrides what it names.
#include "WindowTestSupport.h"

#include "app/AdapterBadge.h"
#include "app/Handlers.h"
#include "keysel/KeyboardDialog.h"
#include "keysel/KeyboardLayout.h"
#include "ui/Toolkit.h"

#include <QFile>
#include <QTemporaryDir>

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

// The title area names the kept changes only as far as there is room beside the title: a long
// note in a long language drops the consoles' names (the tooltip still has them), and never runs
// over the title.
TEST(JapaneseWindow, TheKeptChangesNoteNeverRunsOverTheTitle) {
    const InLanguage japanese(u"ja");
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    ASSERT_TRUE(f.simStarted());
    QTemporaryDir dir;
    WorkModeBlock file;
    for (const ConsoleId c : kBlockOrder)
        file.setButton(c, PadButton::HOME, 0x2C); // every console differs from the adapter's
    f.chooser.openPath = dir.path() + QStringLiteral("/mine.kvf");
    ASSERT_EQ(writeKvf(*f.chooser.openPath, file), KvfWriteStatus::Ok);
    f.click(QStringLiteral("btn_loadcfg"));
    ASSERT_TRUE(f.sim().command(QStringLiteral("plug adapter adapter")));
    const auto* badge = f.dlg().findChild<AdapterBadge*>();
    ASSERT_TRUE(badge);
    ASSERT_TRUE(waitUntil([&] { return badge->text().contains(u'·'); }));
    EXPECT_EQ(badge->text().toStdString(), "アダプター接続済み · 変更を保持");
    EXPECT_TRUE(badge->toolTip().contains(QStringLiteral("PS3、PS4、SWITCH、XBOX")));
    const ui::SWindow* title = f.element(QStringLiteral("text_title"));
    const int titleEnd =
        title->mapTo(&f.dlg(), QPoint(QFontMetrics(title->font()).horizontalAdvance(title->text()), 0)).x();
    EXPECT_GT(badge->mapTo(&f.dlg(), QPoint(0, 0)).x(), titleEnd);
}
