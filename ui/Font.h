// Font descriptions of the layouts: comma-separated "key:value" pairs applied over a base font, e.g.
// "face:微软雅黑,size:14", "italic:1", "underline:1,italic:1" (the rules: parseFontDescription() in
// ui/AttributeParsers.h). Unknown keys are ignored; a malformed pair makes *ok false and the other pairs
// are still applied.
#pragma once

#include <QFont>
#include <QStringList>
#include <QStringView>

namespace velorin::ui {

QFont applyFontDescription(const QFont& base, QStringView description, int scale = 100, bool* ok = nullptr);

// Maps the faces the layouts ask for (微软雅黑, 宋体) to the installed CJK face through
// QFont::insertSubstitution, so their text renders. Safe to call more than once. Returns the face used,
// or an empty string when no CJK face is installed. `preferred` families are tried before the usual
// ones (a Japanese window asks for a face with Japanese glyph forms); a later call replaces the choice.
QString installCjkFontSubstitutions(const QStringList& preferred = {});

} // namespace velorin::ui
