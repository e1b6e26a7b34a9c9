// The printable sheet: one page, A4 or Letter, with the four consoles and each button's key, black
// on white so that it reads printed in grey. Rendered as a self-contained HTML document or as SVG,
// from the block and the texts the front end passes in: the core has no translations, so a front
// end fills the texts from their sources (sheetTextSources) in its own language.
#pragma once

#include "core/Console.h"
#include "core/KeyCodes.h"
#include "core/WorkMode.h"

#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace velorin {

// The texts of the sheet, by slot: the fixed ones, then one label per pad button (PadButton order).
enum class SheetText : uint8_t {
    Title,
    ButtonHeading,
    Unassigned,
    MouseLeft,
    MouseRight,
    MouseMiddle,
};
inline constexpr std::size_t kSheetFixedTextCount = 6;
inline constexpr std::size_t kSheetTextCount = kSheetFixedTextCount + kPadButtonCount;

// The slot of a pad button's label.
constexpr std::size_t sheetSlot(PadButton button) {
    return kSheetFixedTextCount + static_cast<std::size_t>(button);
}
constexpr std::size_t sheetSlot(SheetText text) {
    return static_cast<std::size_t>(text);
}

// Where a slot's text comes from: `source` under `context` in the translation documents (the
// Chinese text, as the window shows it untranslated). An empty context marks a text that reads the
// same in every language (a button's element name such as "L2").
struct SheetTextSource {
    std::string_view context;
    std::string_view source;
};
std::span<const SheetTextSource, kSheetTextCount> sheetTextSources();

// Texts longer than this are cut (at a character boundary): a text may come from an override
// file, and the sheet stays one page.
inline constexpr std::size_t kMaxSheetTextBytes = 120;

struct SheetTexts {
    // The document's language tag ("zh-CN", "en", "ja"): it picks the right CJK glyphs.
    std::string language;
    std::array<std::string, kSheetTextCount> texts;

    const std::string& operator[](SheetText which) const { return texts[sheetSlot(which)]; }
    const std::string& operator[](PadButton button) const { return texts[sheetSlot(button)]; }
};

// Every slot filled with translate(context, source); a slot with an empty context gets its
// source as it is. A translate that finds no translation should return the source.
using SheetTranslate = std::function<std::string(std::string_view context, std::string_view source)>;
SheetTexts sheetTexts(std::string language, const SheetTranslate& translate);

// What one cell of the sheet shows: a button's key on one console.
enum class SheetCellKind : uint8_t { Absent, Unassigned, Key, Mouse, Unnamed };
struct SheetCell {
    SheetCellKind kind = SheetCellKind::Absent;
    std::string text; // the key's box text, the mouse text, the unassigned text, "0x2D"; empty when absent
};

// The sheet as data: one row per pad button in PadButton order (SHARE and CAPTURE are rows of
// their own), one cell per console in block order.
struct SheetRow {
    PadButton button = PadButton::L2;
    std::array<SheetCell, kConsoleCount> cells;
};
std::array<SheetRow, kPadButtonCount> sheetRows(const WorkModeBlock& block, const SheetTexts& texts);

// The sheet as a whole HTML document (UTF-8) and as an SVG document. Every text is escaped and
// cleaned (invalid UTF-8 and control characters replaced) before it goes in.
std::string renderSheetHtml(const WorkModeBlock& block, const SheetTexts& texts);
std::string renderSheetSvg(const WorkModeBlock& block, const SheetTexts& texts);

// A text made safe for HTML and XML: cut to at most `maxBytes` of input at a character boundary,
// invalid UTF-8, control characters (a sheet text is one line) and non-characters replaced by
// U+FFFD, and & < > " ' escaped.
std::string escapeMarkup(std::string_view text, std::size_t maxBytes = kMaxSheetTextBytes);

} // namespace velorin
