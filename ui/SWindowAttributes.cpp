// The generic attributes every element understands, one setter per name.
#include "ui/SWindow.h"

#include "model/Log.h"
#include "ui/AttributeParsers.h"
#include "ui/AttributeTable.h"
#include "ui/Skin.h"
#include "ui/Toolkit.h"

namespace velorin::ui {
namespace {

using Setter = AttributeSetter<SWindow>;

std::optional<QColor> colorValue(const QString& value) {
    const Toolkit* tk = Toolkit::instance();
    const auto c = tk ? tk->resolveColor(value) : parseColor(value);
    return c ? std::optional<QColor>(toQColor(*c)) : std::nullopt;
}

// Sets a colour member (plain or optional) of an element and redraws it.
template <class Member> bool colorInto(SWindow& w, Member SWindow::*member, const QString& value) {
    const std::optional<QColor> c = colorValue(value);
    if (!c)
        return false;
    w.*member = *c;
    w.update();
    return true;
}

} // namespace

bool SWindow::applyAttribute(const QString& name, const QString& value) {
    static const Setter table[] = {
        {u"name", [](SWindow& w, const QString&, const QString& v) { return w.setName(v), true; }},
        {u"id",
         [](SWindow& w, const QString&, const QString& v) {
             const auto id = parseInteger(v);
             if (id)
                 w.id_ = *id;
             return id.has_value();
         },
         Qt::CaseInsensitive},
        {u"pos",
         [](SWindow& w, const QString&, const QString& v) {
             const auto xy = parseIntegerList(v, 2, 2);
             if (xy)
                 w.specPos_ = QPoint((*xy)[0], (*xy)[1]);
             return xy.has_value();
         }},
        {u"size",
         [](SWindow& w, const QString&, const QString& v) {
             const auto wh = parseExtentPair(v);
             if (wh)
                 w.specWidth_ = wh->first, w.specHeight_ = wh->second;
             return wh.has_value();
         }},
        {u"width",
         [](SWindow& w, const QString&, const QString& v) {
             const auto e = parseExtent(v);
             if (e)
                 w.specWidth_ = e;
             return e.has_value();
         }},
        {u"height",
         [](SWindow& w, const QString&, const QString& v) {
             const auto e = parseExtent(v);
             if (e)
                 w.specHeight_ = e;
             return e.has_value();
         }},
        {u"skin",
         [](SWindow& w, const QString&, const QString& v) {
             const Toolkit* tk = Toolkit::instance();
             Skin* s = tk ? tk->skin(v) : nullptr;
             if (!s) {
                 qCWarning(lcSoui) << "skin" << v << "not found for" << w.objectName();
                 return false;
             }
             w.setSkin(s);
             return true;
         }},
        {u"colorText",
         [](SWindow& w, const QString&, const QString& v) { return colorInto(w, &SWindow::colorText_, v); }},
        {u"colorTextHover", [](SWindow& w, const QString&,
                               const QString& v) { return colorInto(w, &SWindow::colorTextHover_, v); }},
        {u"colorTextPush", [](SWindow& w, const QString&,
                              const QString& v) { return colorInto(w, &SWindow::colorTextPushed_, v); }},
        {u"colorTextDisable", [](SWindow& w, const QString&,
                                 const QString& v) { return colorInto(w, &SWindow::colorTextDisabled_, v); }},
        {u"colorBkgnd",
         [](SWindow& w, const QString&, const QString& v) { return colorInto(w, &SWindow::colorBkgnd_, v); }},
        {u"colorBorder", [](SWindow& w, const QString&,
                            const QString& v) { return colorInto(w, &SWindow::colorBorder_, v); }},
        {u"font",
         [](SWindow& w, const QString&, const QString& v) {
             const Toolkit* tk = Toolkit::instance();
             const auto f = parseFont(w.font(), v, tk ? tk->scale() : 100);
             if (f)
                 w.setFont(*f);
             return f.has_value();
         }},
        {u"margin",
         [](SWindow& w, const QString&, const QString& v) {
             const auto m = parseMargins(v);
             if (m)
                 w.setMargin(*m);
             return m.has_value();
         }},
        {u"margin-x",
         [](SWindow& w, const QString&, const QString& v) {
             const auto x = parseInteger(v);
             if (x)
                 w.setMargin(QMargins(*x, w.margin_.top(), *x, w.margin_.bottom()));
             return x.has_value();
         }},
        {u"margin-y",
         [](SWindow& w, const QString&, const QString& v) {
             const auto y = parseInteger(v);
             if (y)
                 w.setMargin(QMargins(w.margin_.left(), *y, w.margin_.right(), *y));
             return y.has_value();
         }},
        {u"text",
         [](SWindow& w, const QString&, const QString& v) { return w.setText(w.layoutText(v)), true; }},
        {u"visible",
         [](SWindow& w, const QString&, const QString& v) { return w.setVisible(parseFlag(v)), true; }},
        {u"show",
         [](SWindow& w, const QString&, const QString& v) { return w.setVisible(parseFlag(v)), true; }},
        {u"enable",
         [](SWindow& w, const QString&, const QString& v) { return w.setEnabled(parseFlag(v)), true; }},
        {u"checked",
         [](SWindow& w, const QString&, const QString& v) { return w.setChecked(parseFlag(v)), true; }},
        {u"check",
         [](SWindow& w, const QString&, const QString& v) { return w.setChecked(parseFlag(v)), true; }},
        {u"textMode",
         [](SWindow& w, const QString&, const QString& v) {
             const auto mode = parseInteger(v);
             if (mode)
                 w.setTextAlignment(alignmentFromTextMode(unsigned(*mode)));
             return mode.has_value();
         }},
        {u"align",
         [](SWindow& w, const QString&, const QString& v) {
             const auto a = parseHorizontalAlignment(v);
             if (a)
                 w.setTextAlignment((w.align_ & Qt::AlignVertical_Mask) | *a);
             return a.has_value();
         }},
        {u"valign",
         [](SWindow& w, const QString&, const QString& v) {
             const auto a = parseVerticalAlignment(v);
             if (a)
                 w.setTextAlignment((w.align_ & Qt::AlignHorizontal_Mask) | *a);
             return a.has_value();
         }},
        {u"cursor",
         [](SWindow& w, const QString&, const QString& v) {
             if (v == u"hand")
                 w.setCursor(Qt::PointingHandCursor);
             else
                 w.unsetCursor();
             return true;
         }},
        {u"focusable",
         [](SWindow& w, const QString&, const QString& v) {
             w.setFocusPolicy(parseFlag(v) ? Qt::StrongFocus : Qt::NoFocus);
             return true;
         }},
        {u"class",
         [](SWindow& w, const QString&, const QString& v) {
             const Toolkit* tk = Toolkit::instance();
             const StyleClass* style = tk ? tk->styleClass(v) : nullptr;
             if (!style)
                 return false;
             for (const auto& [key, styleValue] : *style)
                 w.setAttribute(key, styleValue);
             return true;
         }},
    };
    // Everything else (tip, trCtx, animate handled by kinds, ...) is kept as given.
    const Setter* setter = findAttributeSetter<SWindow>(table, name);
    return setter ? setter->apply(*this, name, value) : true;
}

} // namespace velorin::ui
