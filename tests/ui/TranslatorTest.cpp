#include "ui/Translator.h"
#include "ui/Resources.h"
#include "ui/SHostWnd.h"

#include "UiTestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace velorin::ui;

namespace {

TEST(Translator, ChineseDocumentLoadsAndIsNotEmpty) {
    XmlTranslator t;
    const auto bytes = ResourcePackage::embedded().bytes(u"translator:lang_cn");
    ASSERT_TRUE(bytes.has_value());
    ASSERT_TRUE(t.loadDocument(*bytes));
    EXPECT_FALSE(t.isEmpty());
    EXPECT_EQ(t.languageName(), QStringLiteral("简体中文"));
    EXPECT_EQ(t.guid(), QStringLiteral("{0DAEDE3C-6B94-4a81-9A55-C304FDD69D98}"));
    EXPECT_EQ(t.messageCount(), 10); // 3 in "messagebox", 7 in "dlg_main"
    EXPECT_EQ(t.translate("dlg_main", "close"), QStringLiteral("关闭"));
    EXPECT_EQ(t.translate("messagebox", "ok"), QStringLiteral("确定"));
    EXPECT_TRUE(t.translate("messagebox", "close").isEmpty()); // contexts are kept apart
    EXPECT_TRUE(t.translate("dlg_main", "Close").isEmpty());   // sources are exact
    EXPECT_TRUE(t.translate("menux_mouseFun", "键盘").isEmpty());
}

TEST(Translator, JapaneseDocumentLoads) {
    XmlTranslator t;
    ASSERT_TRUE(t.loadDocument(*ResourcePackage::embedded().bytes(u"translator:LANG_JP")));
    EXPECT_EQ(t.languageName(), QStringLiteral("日本语"));
    EXPECT_EQ(t.guid(), QStringLiteral("{23D209C4-2268-49A2-B7F4-8CB57D908D47}"));
    EXPECT_EQ(t.messageCount(), 10);
}

TEST(Translator, BrokenDocumentsLeaveItEmpty) {
    XmlTranslator t;
    ASSERT_TRUE(t.loadDocument(*ResourcePackage::embedded().bytes(u"translator:lang_cn")));
    EXPECT_FALSE(t.loadDocument("<language><context name='x'>"));
    EXPECT_TRUE(t.isEmpty());
    EXPECT_FALSE(t.loadDocument("<notlanguage/>"));
    EXPECT_FALSE(t.loadDocument(QByteArray(XmlTranslator::kMaxDocumentBytes + 1, ' ')));
    EXPECT_TRUE(t.loadDocument("<language/>"));
    EXPECT_TRUE(t.isEmpty());
}

TEST(Translator, InstalledAtStartAndLeavesTheLayoutTextsAsTheyAre) {
    Toolkit& tk = test::toolkit(); // installs "lang_cn"
    ASSERT_NE(tk.translator(), nullptr);
    EXPECT_EQ(tk.translator()->languageName(), QStringLiteral("简体中文"));
    EXPECT_EQ(QCoreApplication::translate("dlg_main", "mainpage"), QStringLiteral("主页"));
    SHostWnd w(QStringLiteral("LAYOUT:XML_MAINWND"));
    ASSERT_TRUE(w.create());
    const char* texts[][2] = {{"btn_ps3", "PS3"},
                              {"btn_switch", "SWITCH"},
                              {"btn_loadcfg", "选择文件"},
                              {"btn_Applay", "应用"},
                              {"text_title", "Orlesta引导盒映射软件"}};
    for (const auto& t : texts)
        EXPECT_EQ(w.findChildByName(QString::fromUtf8(t[0]))->text(), QString::fromUtf8(t[1])) << t[0];
    EXPECT_FALSE(tk.installTranslator(u"lang_xx"));
    EXPECT_EQ(tk.translator()->languageName(), QStringLiteral("简体中文")); // the installed one stays
}

} // namespace
