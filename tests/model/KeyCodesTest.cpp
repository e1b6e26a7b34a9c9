#include "model/KeyCodes.h"
#include "model/DisplayTexts.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <set>

using namespace velorin;

namespace {

// Every named code with its box text, written out from the product's key-name list. Every code
// that is not here must have an empty name.
std::map<int, QString> expectedNames() {
    std::map<int, QString> names;
    const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int i = 0; i < 26; ++i)
        names[0x04 + i] = QString(QChar(letters[i]));
    const char* digits = "1234567890";
    for (int i = 0; i < 10; ++i)
        names[0x1E + i] = QString(QChar(digits[i]));
    for (int i = 0; i < 12; ++i)
        names[0x3A + i] = QStringLiteral("F") + QString::number(i + 1);
    const std::map<int, const char*> fixed{
        {0x28, "Enter"},    {0x29, "Esc"},        {0x2A, "BackSpace"}, {0x2B, "Tab"},
        {0x2C, "Space"},    {0x35, "`"},          {0x39, "CapsLock"},  {0x49, "INS"},
        {0x4A, "Home"},     {0x4B, "PageUp"},     {0x4C, "Del"},       {0x4D, "End"},
        {0x4E, "PageDown"}, {0x4F, "RightArrow"}, {0x50, "LeftArrow"}, {0x51, "DownArrow"},
        {0x52, "UpArrow"},  {0x53, "NumLock"},    {0x54, "/"},         {0x55, "*"},
        {0x56, "-"},        {0x57, "+"},          {0x58, "Enter"},     {0x59, "1/End"},
        {0x5A, "2/Down"},   {0x5B, "3/PgDn"},     {0x5C, "4/Left"},    {0x5D, "5"},
        {0x5E, "6/Right"},  {0x5F, "7/Home"},     {0x60, "8/Up"},      {0x61, "9/PgUp"},
        {0x62, "0/Ins"},    {0x63, "./Del"},      {0xE0, "Ctrl"},      {0xE1, "Shift"},
        {0xE2, "Alt"},      {0xE3, "Win"},        {0xE4, "Ctrl"},      {0xE5, "Shift"},
        {0xE6, "Alt"},      {0xE7, "Win"},
    };
    for (const auto& [code, text] : fixed)
        names[code] = QString::fromUtf8(text);
    names[0xA0] = QStringLiteral("鼠标左键");
    names[0xA1] = QStringLiteral("鼠标右键");
    names[0xA2] = QStringLiteral("鼠标中键");
    return names;
}

class KeyCodeNameTest : public ::testing::Test {
protected:
    void SetUp() override { displayTexts().resetToBuiltIn(); }
    void TearDown() override { displayTexts().resetToBuiltIn(); }
};

} // namespace

TEST_F(KeyCodeNameTest, EveryByteValueMatchesTheKeyNameList) {
    const auto names = expectedNames();
    for (int code = 0; code < 256; ++code) {
        const auto it = names.find(code);
        const QString expected = it == names.end() ? QString() : it->second;
        EXPECT_EQ(KeyCodeName(static_cast<KeyCode>(code)), expected) << "code 0x" << std::hex << code;
    }
}

TEST_F(KeyCodeNameTest, NotableBoundaries) {
    EXPECT_EQ(KeyCodeName(0x04), "A");
    EXPECT_EQ(KeyCodeName(0x1D), "Z");
    EXPECT_EQ(KeyCodeName(0x1E), "1");
    EXPECT_EQ(KeyCodeName(0x26), "9");
    EXPECT_EQ(KeyCodeName(0x27), "0");
    EXPECT_EQ(KeyCodeName(0x3A), "F1");
    EXPECT_EQ(KeyCodeName(0x45), "F12");
    EXPECT_TRUE(KeyCodeName(0x2D).isEmpty()); // HID minus: no name, same box text as nothing
    EXPECT_EQ(KeyCodeName(0x2D), KeyCodeName(KEY_NONE));
}

TEST_F(KeyCodeNameTest, MouseCodesFollowTheCurrentDisplayTexts) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("lang.xml");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(<root><Lclick name="Left"/><Rclick name="Right"/></root>)");
    file.close();
    displayTexts().loadOverrideFile(path);
    EXPECT_EQ(KeyCodeName(MOUSE_LCLICK), "Left");
    EXPECT_EQ(KeyCodeName(MOUSE_RCLICK), "Right");
    EXPECT_EQ(KeyCodeName(MOUSE_MCLICK), ""); // missing entry blanks the built-in text
}

TEST(KeyboardKeyCodes, HasExactly105EntriesWithZerosWhereNoKeyIsAccepted) {
    static_assert(kKeyboardKeyCount == 105);
    EXPECT_EQ(keyboardKeyCodes.size(), 105u);
    const std::set<int> zeros{11, 12, 25, 26, 38, 39, 48, 49, 50, 52, 76, 77, 78, 102, 103, 104};
    for (int i = 0; i < kKeyboardKeyCount; ++i) {
        if (zeros.contains(i)) {
            EXPECT_EQ(keyboardKeyCodes[i], 0) << "index " << i;
        } else {
            EXPECT_NE(keyboardKeyCodes[i], 0) << "index " << i;
        }
    }
}

TEST(KeyboardKeyCodes, NotableEntries) {
    const std::map<int, KeyCode> notable{
        {0, 0x35},  {1, 0x1E},  {10, 0x27}, {13, 0x2A}, {14, 0x2B}, {15, 0x14}, {24, 0x13},  {27, 0x28},
        {28, 0x39}, {29, 0x04}, {37, 0x0F}, {40, 0xE1}, {41, 0x1D}, {47, 0x10}, {51, 0xE5},  {53, 0xE0},
        {54, 0xE3}, {55, 0xE2}, {56, 0x2C}, {57, 0xE6}, {58, 0xE4}, {59, 0x52}, {60, 0x50},  {61, 0x4F},
        {62, 0x51}, {63, 0x29}, {64, 0x3A}, {75, 0x45}, {79, 0x49}, {80, 0x4A}, {84, 0x4E},  {85, 0x53},
        {88, 0x56}, {89, 0x5F}, {92, 0x57}, {93, 0x5C}, {96, 0x59}, {99, 0x58}, {100, 0x62}, {101, 0x63},
    };
    for (const auto& [index, code] : notable)
        EXPECT_EQ(keyboardKeyCodes[index], code) << "index " << index;
    for (int i = 64; i <= 75; ++i)
        EXPECT_EQ(keyboardKeyCodes[i], 0x3A + (i - 64));
    EXPECT_EQ(keyCodeForKeyIndex(-1), KEY_NONE);
    EXPECT_EQ(keyCodeForKeyIndex(105), KEY_NONE);
    EXPECT_EQ(keyCodeForKeyIndex(255), KEY_NONE);
}

TEST(MenuFunctions, IdsTwoToFourAreTheMouseButtons) {
    EXPECT_EQ(mouseCodeForMenuId(2), MOUSE_LCLICK);
    EXPECT_EQ(mouseCodeForMenuId(3), MOUSE_RCLICK);
    EXPECT_EQ(mouseCodeForMenuId(4), MOUSE_MCLICK);
    for (int id : {-1, 0, 1, 5})
        EXPECT_EQ(mouseCodeForMenuId(id), KEY_NONE);
}
