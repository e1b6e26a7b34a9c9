// The printable sheet: what each cell shows for codes written out by hand, the texts taken from the
// translate function the front end passes, and hostile texts escaped in both documents.
#include "core/Sheet.h"

#include <gtest/gtest.h>

#include <string>

using namespace velorin;
using enum PadButton;

namespace {

std::size_t count(const std::string& text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

std::size_t column(ConsoleId console) {
    return static_cast<std::size_t>(consoleInfo(console).blockIndex);
}

} // namespace

TEST(Sheet, ShowsEachButtonsKeyPerConsoleAndEscapesEveryText) {
    // A translate function that shows which source it was asked for.
    const SheetTexts texts = sheetTexts("en", [](std::string_view context, std::string_view source) {
        return std::string("<").append(context).append(":").append(source).append(">");
    });
    EXPECT_EQ(texts[SheetText::Title], "<sheet:按键映射表>");
    EXPECT_EQ(texts[SheetText::MouseRight], "<display_texts:鼠标右键>");
    EXPECT_EQ(texts[L2], "L2");                  // an element name reads the same everywhere
    EXPECT_EQ(texts[ARROW_L], "<pad:方向键左>"); // the window's spoken name
    EXPECT_EQ(texts[RSTICK_KEY], "<pad:右摇杆按下>");
    EXPECT_EQ(texts[CAPTURE], "CAPTURE");

    WorkModeBlock block;
    block.setButton(ConsoleId::PS3, L2, 0x04);
    block.setButton(ConsoleId::PS4, SHARE, 0xA1);
    block.setButton(ConsoleId::SWITCH, CAPTURE, 0x2D);
    block.setButton(ConsoleId::XBOX, L1, 0x58);
    block.setButton(ConsoleId::XBOX, R1, 0x59);
    block.setButton(ConsoleId::XBOX, A, 0xE4);
    block.record(ConsoleId::PS3)[26] = 0x04; // no button of PS3
    struct Case {
        PadButton button;
        ConsoleId console;
        SheetCellKind kind;
        std::string text;
    };
    const Case cases[] = {
        {L2, ConsoleId::PS3, SheetCellKind::Key, "A"},
        {L1, ConsoleId::PS3, SheetCellKind::Unassigned, "<sheet:未分配>"},
        {SHARE, ConsoleId::PS4, SheetCellKind::Mouse, "<display_texts:鼠标右键>"},
        {SHARE, ConsoleId::PS3, SheetCellKind::Absent, ""},
        {SHARE, ConsoleId::SWITCH, SheetCellKind::Absent, ""},
        {CAPTURE, ConsoleId::SWITCH, SheetCellKind::Unnamed, "0x2D"},
        {CAPTURE, ConsoleId::XBOX, SheetCellKind::Absent, ""},
        {L1, ConsoleId::XBOX, SheetCellKind::Key, "Enter"}, // the keypad's Enter, as its box shows it
        {R1, ConsoleId::XBOX, SheetCellKind::Key, "1/End"},
        {A, ConsoleId::XBOX, SheetCellKind::Key, "Ctrl"},
    };
    const auto rows = sheetRows(block, texts);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].button, static_cast<PadButton>(i));
    for (const Case& c : cases) {
        const SheetCell& cell = rows[static_cast<std::size_t>(c.button)].cells[column(c.console)];
        EXPECT_EQ(cell.kind, c.kind) << padButtonName(c.button) << " " << consoleInfo(c.console).name;
        EXPECT_EQ(cell.text, c.text) << padButtonName(c.button) << " " << consoleInfo(c.console).name;
    }

    // Hostile texts: markup, quotes, a control character, bytes that are not UTF-8, a long text.
    SheetTexts hostile = texts;
    hostile.language = "en\"><script>";
    hostile.texts[sheetSlot(SheetText::Title)] = "<script>alert('x')</script> & \"more\"";
    hostile.texts[sheetSlot(SheetText::Unassigned)] = "a\x01"
                                                      "b\xFF"
                                                      "c\xE4\xB8";
    hostile.texts[sheetSlot(L1)] = std::string(1000, 'W');
    const std::string html = renderSheetHtml(block, hostile);
    const std::string svg = renderSheetSvg(block, hostile);
    for (const std::string* doc : {&html, &svg}) {
        const bool isSvg = doc == &svg;
        EXPECT_EQ(doc->find("<script"), std::string::npos) << isSvg;
        EXPECT_NE(doc->find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;more&quot;"),
                  std::string::npos)
            << isSvg;
        EXPECT_NE(doc->find("en&quot;&gt;&lt;script&gt;"), std::string::npos) << isSvg;
        EXPECT_NE(doc->find("a\xEF\xBF\xBD"
                            "b\xEF\xBF\xBD"
                            "c\xEF\xBF\xBD"),
                  std::string::npos)
            << isSvg;
        EXPECT_EQ(doc->find('\x01'), std::string::npos) << isSvg;
        EXPECT_NE(doc->find(std::string(kMaxSheetTextBytes, 'W')), std::string::npos) << isSvg;
        EXPECT_EQ(doc->find(std::string(kMaxSheetTextBytes + 1, 'W')), std::string::npos) << isSvg;
        // Every key of the block is in the document, and the four consoles head the columns.
        for (const char* key : {"1/End", "Ctrl", "0x2D", "&lt;display_texts:鼠标右键&gt;"})
            EXPECT_NE(doc->find(key), std::string::npos) << key << " " << isSvg;
        for (const ConsoleInfo& info : consoles())
            EXPECT_NE(doc->find(std::string(">").append(info.name).append("<")), std::string::npos)
                << info.name;
    }
    // One row per pad button; the SVG's texts are all closed and the long one squeezed to fit.
    EXPECT_EQ(count(html, "<tr>"), 1u + kPadButtonCount);
    EXPECT_EQ(count(svg, "<text "), count(svg, "</text>"));
    EXPECT_NE(svg.find("lengthAdjust=\"spacingAndGlyphs\">" + std::string(kMaxSheetTextBytes, 'W')),
              std::string::npos);
    // Cut at a character boundary: a three-byte character across the limit goes whole.
    EXPECT_EQ(escapeMarkup("ab\xE4\xB8\xAD", 4), "ab");
    EXPECT_EQ(escapeMarkup("ab\xE4\xB8\xAD", 5), "ab\xE4\xB8\xAD");
    EXPECT_EQ(escapeMarkup("\xC0\x80\xED\xA0\x80", 16),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}
