#include "core/Sheet.h"

#include "core/Boxes.h"
#include "core/Texts.h"

#include <algorithm>

#include <cstdint>
#include <optional>

namespace velorin {

namespace {

// The sheet's own texts and the mouse texts; the pad buttons follow, in PadButton order, named as
// every front end speaks them (core/Boxes.h).
constexpr std::array<SheetTextSource, 6> kOwnSources{{
    {"sheet", VELORIN_TEXT("sheet", "按键映射表")},
    {"sheet", VELORIN_TEXT("sheet", "手柄按键")},
    {"sheet", VELORIN_TEXT("sheet", "未分配")},
    {"display_texts", VELORIN_TEXT("display_texts", "鼠标左键")},
    {"display_texts", VELORIN_TEXT("display_texts", "鼠标右键")},
    {"display_texts", VELORIN_TEXT("display_texts", "鼠标中键")},
}};
static_assert(sheetSlot(PadButton::L2) == kOwnSources.size());
static_assert(sheetSlot(PadButton::CAPTURE) + 1 == kSheetTextCount);

// ---------------------------------------------------------------------------------------------
// Text

constexpr char32_t kReplacement = 0xFFFD;

// The code point at the start of `text` and its length in bytes; U+FFFD for one byte of anything
// that is not well-formed UTF-8 (overlong forms and surrogates included).
std::pair<char32_t, std::size_t> decodeUtf8(std::string_view text) {
    const auto b0 = static_cast<uint8_t>(text[0]);
    if (b0 < 0x80)
        return {b0, 1};
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        cp = b0 & 0x1F;
        least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        cp = b0 & 0x0F;
        least = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        cp = b0 & 0x07;
        least = 0x10000;
    } else {
        return {kReplacement, 1};
    }
    if (text.size() < length)
        return {kReplacement, 1};
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<uint8_t>(text[i]);
        if ((b & 0xC0) != 0x80)
            return {kReplacement, 1};
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {kReplacement, 1};
    return {cp, length};
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// What may not stand in a one-line text of an HTML or XML document.
bool unwanted(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0xFDD0 && cp <= 0xFDEF) ||
           (cp & 0xFFFE) == 0xFFFE;
}

// Wide characters (CJK, Hangul, full-width forms) take about one em, the rest about 0.6 of one.
bool wide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x20000;
}

// A generous estimate of a one-line text's width in ems, from its cleaned form.
double estimatedEms(std::string_view text, std::size_t maxBytes) {
    double ems = 0;
    std::size_t used = 0;
    while (used < text.size()) {
        const auto [cp, length] = decodeUtf8(text.substr(used));
        if (used + length > maxBytes)
            break;
        used += length;
        ems += wide(cp) ? 1.0 : 0.62;
    }
    return ems;
}

std::string hexCode(KeyCode code) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    return std::string("0x") + kHex[code >> 4] + kHex[code & 0x0F];
}

SheetCell cellFor(const WorkModeBlock& block, ConsoleId console, PadButton button, const SheetTexts& texts) {
    bool has = false;
    for (const PadButton b : consoleInfo(console).buttons)
        has = has || b == button;
    if (!has)
        return {};
    const KeyCode code = block.button(console, button);
    switch (code) {
    case KEY_NONE:
        return {SheetCellKind::Unassigned, texts[SheetText::Unassigned]};
    case MOUSE_LCLICK:
        return {SheetCellKind::Mouse, texts[SheetText::MouseLeft]};
    case MOUSE_RCLICK:
        return {SheetCellKind::Mouse, texts[SheetText::MouseRight]};
    case MOUSE_MCLICK:
        return {SheetCellKind::Mouse, texts[SheetText::MouseMiddle]};
    default:
        break;
    }
    const std::string_view name = keyBoxText(code);
    if (name.empty())
        return {SheetCellKind::Unnamed, hexCode(code)};
    return {SheetCellKind::Key, std::string(name)};
}

std::string number(double value) {
    // Tenths of a millimetre are enough; no locale, no exponent.
    const long tenths = static_cast<long>(value * 10 + (value < 0 ? -0.5 : 0.5));
    std::string out = std::to_string(tenths / 10);
    if (const long rest = (tenths < 0 ? -tenths : tenths) % 10; rest != 0)
        out.append(".").append(std::to_string(rest));
    return out;
}

// The page: every measure in millimetres. The content fits inside A4 (210 x 297) and Letter
// (215.9 x 279.4) with 12 mm margins on every side.
constexpr double kWidth = 186;
constexpr double kTitleHeight = 16;
constexpr double kHeaderHeight = 10;
constexpr double kRowHeight = 9.2;
constexpr double kLabelWidth = 52;
constexpr double kCellWidth = (kWidth - kLabelWidth) / kConsoleCount;
constexpr double kPadding = 2;
constexpr double kFontSize = 4;
constexpr double kTitleSize = 7;
constexpr double kHeight = kTitleHeight + kHeaderHeight + kRowHeight * kPadButtonCount;
static_assert(kHeight <= 279.4 - 24);

constexpr std::string_view kFonts =
    "'Liberation Sans', Arial, 'Noto Sans CJK SC', 'Noto Sans CJK JP', 'WenQuanYi Micro Hei', sans-serif";

// The language tag, cleaned like any text (it ends up in an attribute).
std::string languageTag(const SheetTexts& texts) {
    return escapeMarkup(texts.language.empty() ? std::string_view("en") : std::string_view(texts.language),
                        35);
}

const char* cellClass(SheetCellKind kind) {
    switch (kind) {
    case SheetCellKind::Absent:
        return "absent";
    case SheetCellKind::Unassigned:
        return "none";
    case SheetCellKind::Unnamed:
        return "code";
    case SheetCellKind::Key:
    case SheetCellKind::Mouse:
        break;
    }
    return "key";
}

// One line of SVG text at (x, y), squeezed to `room` when it would not fit.
void svgText(std::string& out, double x, double y, double room, std::string_view text, double size,
             std::string_view attributes = {}) {
    // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string at -O2.
    out.append("<text x=\"").append(number(x)).append("\" y=\"").append(number(y)).append("\"");
    if (size != kFontSize)
        out.append(" font-size=\"").append(number(size)).append("\"");
    if (!attributes.empty())
        out.append(" ").append(attributes);
    if (estimatedEms(text, kMaxSheetTextBytes) * size > room)
        out.append(" textLength=\"").append(number(room)).append("\" lengthAdjust=\"spacingAndGlyphs\"");
    out.append(">").append(escapeMarkup(text)).append("</text>\n");
}

} // namespace

std::span<const SheetTextSource, kSheetTextCount> sheetTextSources() {
    static const std::array<SheetTextSource, kSheetTextCount> sources = [] {
        std::array<SheetTextSource, kSheetTextCount> all{};
        std::copy(kOwnSources.begin(), kOwnSources.end(), all.begin());
        for (int b = 0; b < kPadButtonCount; ++b) {
            const auto button = PadButton(b);
            const std::string_view spoken = spokenButton(button);
            // A button spoken by its element name reads the same in every language.
            all[sheetSlot(button)] = {spoken == padButtonName(button) ? "" : "pad", spoken};
        }
        return all;
    }();
    return sources;
}

SheetTexts sheetTexts(std::string language, const SheetTranslate& translate) {
    SheetTexts texts;
    texts.language = std::move(language);
    for (std::size_t i = 0; i < kSheetTextCount; ++i) {
        const SheetTextSource& s = sheetTextSources()[i];
        texts.texts[i] =
            s.context.empty() || !translate ? std::string(s.source) : translate(s.context, s.source);
    }
    return texts;
}

std::array<SheetRow, kPadButtonCount> sheetRows(const WorkModeBlock& block, const SheetTexts& texts) {
    std::array<SheetRow, kPadButtonCount> rows;
    for (int i = 0; i < kPadButtonCount; ++i) {
        const auto button = static_cast<PadButton>(i);
        rows[static_cast<std::size_t>(i)].button = button;
        for (std::size_t c = 0; c < kConsoleCount; ++c)
            rows[static_cast<std::size_t>(i)].cells[c] = cellFor(block, kBlockOrder[c], button, texts);
    }
    return rows;
}

std::string escapeMarkup(std::string_view text, std::size_t maxBytes) {
    std::string out;
    std::size_t used = 0;
    while (used < text.size()) {
        auto [cp, length] = decodeUtf8(text.substr(used));
        if (used + length > maxBytes)
            break;
        used += length;
        switch (cp) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\'':
            out += "&#39;";
            continue;
        default:
            break;
        }
        appendUtf8(out, unwanted(cp) ? kReplacement : cp);
    }
    return out;
}

std::string renderSheetHtml(const WorkModeBlock& block, const SheetTexts& texts) {
    const std::string title = escapeMarkup(texts[SheetText::Title]);
    std::string out;
    out.reserve(16 * 1024);
    out += "<!DOCTYPE html>\n<html lang=\"" + languageTag(texts) + "\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out += "<title>" + title + "</title>\n<style>\n";
    out += "@page { margin: 12mm; }\n";
    out += "html { background: #fff; color: #000; print-color-adjust: exact; -webkit-print-color-adjust: "
           "exact; }\n";
    out += "body { margin: 0; font-family: " + std::string(kFonts) + "; }\n";
    out += "main { width: " + number(kWidth) + "mm; margin: 0 auto; break-inside: avoid; }\n";
    out += "h1 { font-size: 20pt; margin: 0 0 6mm; }\n";
    out += "table { width: 100%; border-collapse: collapse; table-layout: fixed; font-size: 12pt; "
           "line-height: 1.25; }\n";
    out += "col.label { width: " + number(kLabelWidth) + "mm; }\n";
    out += "th, td { border: 0.3mm solid #000; padding: 2mm 2.5mm; text-align: left; overflow-wrap: "
           "anywhere; }\n";
    out += "thead th { background: #d0d0d0; }\n";
    out += "tbody tr:nth-child(even) { background: #f0f0f0; }\n";
    out += "tbody th { font-weight: normal; }\n";
    out += "td.key { font-weight: bold; }\n";
    out += "td.code { font-family: 'Liberation Mono', monospace; font-weight: bold; }\n";
    out += "td.none { color: #555; font-style: italic; }\n";
    out += "td.absent { background: #c8c8c8; }\n";
    out += "@media screen { body { padding: 12mm 0; } }\n";
    out += "</style>\n</head>\n<body>\n<main>\n<h1>" + title + "</h1>\n<table>\n";
    out += "<colgroup><col class=\"label\">";
    for (std::size_t c = 0; c < kConsoleCount; ++c)
        out += "<col>";
    out += "</colgroup>\n<thead><tr><th scope=\"col\">" + escapeMarkup(texts[SheetText::ButtonHeading]) +
           "</th>";
    for (const ConsoleId console : kBlockOrder)
        out += "<th scope=\"col\">" + escapeMarkup(consoleInfo(console).name) + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    for (const SheetRow& row : sheetRows(block, texts)) {
        out += "<tr><th scope=\"row\">" + escapeMarkup(texts[row.button]) + "</th>";
        for (const SheetCell& cell : row.cells)
            out += std::string("<td class=\"") + cellClass(cell.kind) + "\">" + escapeMarkup(cell.text) +
                   "</td>";
        out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n</main>\n</body>\n</html>\n";
    return out;
}

std::string renderSheetSvg(const WorkModeBlock& block, const SheetTexts& texts) {
    const std::string lang = languageTag(texts);
    std::string out;
    out.reserve(32 * 1024);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" lang=\"" + lang + "\" xml:lang=\"" +
           lang + "\" width=\"" + number(kWidth) + "mm\" height=\"" + number(kHeight) +
           "mm\" viewBox=\"0 0 " + number(kWidth) + " " + number(kHeight) + "\" font-family=\"" +
           std::string(kFonts) + "\" font-size=\"" + number(kFontSize) + "\" fill=\"#000\">\n";
    out += "<title>" + escapeMarkup(texts[SheetText::Title]) + "</title>\n";
    out += "<rect width=\"" + number(kWidth) + "\" height=\"" + number(kHeight) + "\" fill=\"#fff\"/>\n";
    svgText(out, 0, kTitleSize + 1, kWidth, texts[SheetText::Title], kTitleSize, "font-weight=\"bold\"");

    const double top = kTitleHeight;
    const double body = top + kHeaderHeight;
    const auto columnX = [](std::size_t c) { return kLabelWidth + kCellWidth * static_cast<double>(c); };
    const double baseline = kRowHeight / 2 + kFontSize * 0.35;

    // Fills first, lines over them, then the texts.
    out += "<rect x=\"0\" y=\"" + number(top) + "\" width=\"" + number(kWidth) + "\" height=\"" +
           number(kHeaderHeight) + "\" fill=\"#d0d0d0\"/>\n";
    const auto rows = sheetRows(block, texts);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const double y = body + kRowHeight * static_cast<double>(r);
        if (r % 2 == 1)
            out += "<rect x=\"0\" y=\"" + number(y) + "\" width=\"" + number(kWidth) + "\" height=\"" +
                   number(kRowHeight) + "\" fill=\"#f0f0f0\"/>\n";
        for (std::size_t c = 0; c < kConsoleCount; ++c) {
            if (rows[r].cells[c].kind == SheetCellKind::Absent)
                out += "<rect x=\"" + number(columnX(c)) + "\" y=\"" + number(y) + "\" width=\"" +
                       number(kCellWidth) + "\" height=\"" + number(kRowHeight) + "\" fill=\"#c8c8c8\"/>\n";
        }
    }
    out += "<g stroke=\"#000\" stroke-width=\"0.3\" fill=\"none\">\n";
    out += "<rect x=\"0\" y=\"" + number(top) + "\" width=\"" + number(kWidth) + "\" height=\"" +
           number(kHeight - top) + "\"/>\n";
    for (std::size_t r = 0; r <= rows.size(); ++r) {
        const double y = body + kRowHeight * static_cast<double>(r);
        out += "<line x1=\"0\" y1=\"" + number(y) + "\" x2=\"" + number(kWidth) + "\" y2=\"" + number(y) +
               "\"/>\n";
    }
    for (std::size_t c = 0; c < kConsoleCount; ++c)
        out += "<line x1=\"" + number(columnX(c)) + "\" y1=\"" + number(top) + "\" x2=\"" +
               number(columnX(c)) + "\" y2=\"" + number(kHeight) + "\"/>\n";
    out += "</g>\n";

    const double headerBaseline = top + kHeaderHeight / 2 + kFontSize * 0.35;
    svgText(out, kPadding, headerBaseline, kLabelWidth - 2 * kPadding, texts[SheetText::ButtonHeading],
            kFontSize, "font-weight=\"bold\"");
    for (std::size_t c = 0; c < kConsoleCount; ++c)
        svgText(out, columnX(c) + kPadding, headerBaseline, kCellWidth - 2 * kPadding,
                consoleInfo(kBlockOrder[c]).name, kFontSize, "font-weight=\"bold\"");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const double y = body + kRowHeight * static_cast<double>(r) + baseline;
        svgText(out, kPadding, y, kLabelWidth - 2 * kPadding, texts[rows[r].button], kFontSize);
        for (std::size_t c = 0; c < kConsoleCount; ++c) {
            const SheetCell& cell = rows[r].cells[c];
            if (cell.kind == SheetCellKind::Absent)
                continue;
            const std::string_view style =
                cell.kind == SheetCellKind::Unassigned ? "fill=\"#555\" font-style=\"italic\""
                : cell.kind == SheetCellKind::Unnamed
                    ? "font-weight=\"bold\" font-family=\"'Liberation Mono', monospace\""
                    : "font-weight=\"bold\"";
            svgText(out, columnX(c) + kPadding, y, kCellWidth - 2 * kPadding, cell.text, kFontSize, style);
        }
    }
    out += "</svg>\n";
    return out;
}

} // namespace velorin
