// The on-screen keyboard's dialog template (the package resource "keyboard:265") and the conversion of
// dialog units to pixels.
#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QFont>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

namespace velorin::keysel {

// One key button of the template.
struct KeyboardKey {
    int controlId = 0;
    QString upper; // first caption line, raw button text ("&&" shows one "&")
    QString lower; // second caption line
    bool twoLines = false;
    bool multiline = false; // a one-line caption that may wrap
    QRect rectDu;           // dialog units, from the client area
    bool available = true;

    int index() const;    // controlId - kFirstKeyControlId
    QString text() const; // the whole button text, lines joined by '\n'
};

struct KeyboardTemplate {
    QString caption;
    QString trCtx;    // translation context of the caption, empty for none
    QSize sizeDu;     // client area in dialog units
    QString fontFace; // as the template names it
    int pointSize = 8;
    int weight = 400;
    bool italic = false;
    QRect frameDu; // the etched frame behind the keys
    std::vector<KeyboardKey> keys;

    const KeyboardKey* keyById(int controlId) const;
};

inline constexpr int kKeyboardTemplateId = 265;
inline constexpr int kFirstKeyControlId = 1151;
inline constexpr int kLastKeyControlId = 1252;
// The template file is a few kilobytes; anything larger is rejected unread.
inline constexpr qsizetype kMaxTemplateBytes = 256 * 1024;
inline constexpr int kMaxDialogUnits = 4000;

enum class TemplateErrorKind {
    None,
    NotFound,  // the resource package has no template
    TooLarge,  // more than kMaxTemplateBytes: not read
    NotXml,    // not well-formed XML
    Malformed, // wrong root, sizes out of range, control ids outside 1151..1252, duplicate ids,
               // missing attributes, no keys
};
// The detail says what is wrong, for the log.
using TemplateError = Error<TemplateErrorKind>;

// Parses a template; an error for anything malformed.
Result<KeyboardTemplate, TemplateError> parseKeyboardTemplate(const QByteArray& xml);

// Reads "keyboard:265" from the resource package.
Result<KeyboardTemplate, TemplateError> loadKeyboardTemplate();

// The font face used for a template face on this system: Arial is served by its metric-compatible
// replacement.
QString substituteDialogFace(const QString& face);
QFont dialogFont(const KeyboardTemplate& tpl);

// Dialog base units of a font: the average width of the 52 Latin letters (rounded) and the font height.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};
DialogBaseUnits dialogBaseUnits(const QFont& font);

// a * b / c rounded to nearest (halves away from zero); 0 when c is 0.
int mulDiv(int a, int b, int c);

// Converts a rectangle in dialog units to pixels: each edge is converted on its own, so neighbouring
// keys share their pixel edges exactly.
QRect mapDialogRect(const QRect& du, DialogBaseUnits units);
QSize mapDialogSize(const QSize& du, DialogBaseUnits units);

} // namespace velorin::keysel
