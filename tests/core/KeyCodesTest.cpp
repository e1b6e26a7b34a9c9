#include "core/KeyCodes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace velorin;

namespace {

// Every named code with its box text, written out from the product's key-name list. Every code
// that is not here must have an empty name. The mouse codes show display texts, which the front
// ends supply (model/KeyCodeName.h): the key table has no name for them.
std::map<int, std::string> expectedNames() {
    std::map<int, std::string> names;
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int i = 0; i < 26; ++i)
        names[0x04 + i] = letters.substr(static_cast<std::size_t>(i), 1);
    const std::string digits = "1234567890";
    for (int i = 0; i < 10; ++i)
        names[0x1E + i] = digits.substr(static_cast<std::size_t>(i), 1);
    for (int i = 0; i < 12; ++i)
        names[0x3A + i] =
            std::string("F").append(std::to_string(i + 1)); // not "F" + ...: GCC 12 -O2 -Wrestrict
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
        names[code] = text;
    return names;
}

} // namespace

TEST(KeyBoxText, EveryByteValueMatchesTheKeyNameList) {
    const auto names = expectedNames();
    for (int code = 0; code < 256; ++code) {
        const auto it = names.find(code);
        const std::string expected = it == names.end() ? std::string() : it->second;
        EXPECT_EQ(keyBoxText(static_cast<KeyCode>(code)), expected) << "code 0x" << std::hex << code;
        EXPECT_EQ(isMouseCode(static_cast<KeyCode>(code)), code >= 0xA0 && code <= 0xA2) << code;
    }
}

TEST(KeyboardKeyCodes, HasExactly105EntriesWithZerosWhereNoKeyIsAccepted) {
    static_assert(kKeyboardKeyCount == 105);
    EXPECT_EQ(keyboardKeyCodes.size(), 105u);
    const std::set<int> zeros{11, 12, 25, 26, 38, 39, 48, 49, 50, 52, 76, 77, 78, 102, 103, 104};
    for (std::size_t i = 0; i < keyboardKeyCodes.size(); ++i) {
        if (zeros.contains(static_cast<int>(i))) {
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
