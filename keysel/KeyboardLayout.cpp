#include "keysel/KeyboardLayout.h"

#include "ui/Resources.h"

#include <QFontMetrics>

#include <pugixml.hpp>

#include <cstdlib>
#include <set>

namespace velorin::keysel {

int KeyboardKey::index() const {
    return controlId - kFirstKeyControlId;
}

QString KeyboardKey::text() const {
    return twoLines ? upper + QLatin1Char('\n') + lower : upper;
}

const KeyboardKey* KeyboardTemplate::keyById(int controlId) const {
    for (const auto& k : keys)
        if (k.controlId == controlId)
            return &k;
    return nullptr;
}

namespace {

TemplateError fail(TemplateErrorKind kind, const QString& why) {
    return {kind, why.toStdString()};
}

// Reads a bounded integer attribute; false when it is missing, not a number or out of range.
bool readInt(const pugi::xml_node& n, const char* name, int lo, int hi, int& out) {
    const pugi::xml_attribute a = n.attribute(name);
    if (!a)
        return false;
    const char* s = a.value();
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end == s || *end != '\0' || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

bool readRect(const pugi::xml_node& n, QRect& out) {
    int x = 0, y = 0, w = 0, h = 0;
    if (!readInt(n, "x", 0, kMaxDialogUnits, x) || !readInt(n, "y", 0, kMaxDialogUnits, y) ||
        !readInt(n, "width", 0, kMaxDialogUnits, w) || !readInt(n, "height", 0, kMaxDialogUnits, h))
        return false;
    out = QRect(x, y, w, h);
    return true;
}

} // namespace

Result<KeyboardTemplate, TemplateError> parseKeyboardTemplate(const QByteArray& xml) {
    if (xml.size() > kMaxTemplateBytes)
        return fail(TemplateErrorKind::TooLarge, QStringLiteral("template too large"));
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(xml.constData(), std::size_t(xml.size()));
    if (!parsed)
        return fail(TemplateErrorKind::NotXml,
                    QStringLiteral("not well-formed: %1").arg(QString::fromUtf8(parsed.description())));
    const pugi::xml_node root = doc.document_element();
    if (std::string_view(root.name()) != "dialog")
        return fail(TemplateErrorKind::Malformed, QStringLiteral("root element is not <dialog>"));
    KeyboardTemplate tpl;
    tpl.caption = QString::fromUtf8(root.attribute("caption").value());
    tpl.trCtx = QString::fromUtf8(root.attribute("trCtx").value());
    int w = 0, h = 0;
    if (!readInt(root, "width", 1, kMaxDialogUnits, w) || !readInt(root, "height", 1, kMaxDialogUnits, h))
        return fail(TemplateErrorKind::Malformed, QStringLiteral("bad dialog size"));
    tpl.sizeDu = QSize(w, h);
    tpl.fontFace = QString::fromUtf8(root.attribute("font").as_string("Arial"));
    if (root.attribute("size") && !readInt(root, "size", 1, 72, tpl.pointSize))
        return fail(TemplateErrorKind::Malformed, QStringLiteral("bad font size"));
    if (root.attribute("weight") && !readInt(root, "weight", 1, 1000, tpl.weight))
        return fail(TemplateErrorKind::Malformed, QStringLiteral("bad font weight"));
    tpl.italic = root.attribute("italic").as_int(0) != 0;

    std::set<int> ids;
    for (const pugi::xml_node n : root.children()) {
        if (n.type() != pugi::node_element)
            continue;
        const std::string_view name = n.name();
        if (name == "frame") {
            if (!readRect(n, tpl.frameDu))
                return fail(TemplateErrorKind::Malformed, QStringLiteral("bad frame rectangle"));
        } else if (name == "key") {
            KeyboardKey k;
            if (!readInt(n, "id", kFirstKeyControlId, kLastKeyControlId, k.controlId))
                return fail(TemplateErrorKind::Malformed, QStringLiteral("key without a valid id"));
            if (!ids.insert(k.controlId).second)
                return fail(TemplateErrorKind::Malformed,
                            QStringLiteral("duplicate key id %1").arg(k.controlId));
            if (!readRect(n, k.rectDu))
                return fail(TemplateErrorKind::Malformed,
                            QStringLiteral("bad rectangle of key %1").arg(k.controlId));
            k.upper = QString::fromUtf8(n.attribute("upper").value());
            k.twoLines = bool(n.attribute("lower"));
            k.lower = QString::fromUtf8(n.attribute("lower").value());
            k.multiline = k.twoLines || n.attribute("multiline").as_int(0) != 0;
            k.available = n.attribute("available").as_int(1) != 0;
            tpl.keys.push_back(std::move(k));
        }
    }
    if (tpl.keys.empty())
        return fail(TemplateErrorKind::Malformed, QStringLiteral("no keys"));
    return tpl;
}

Result<KeyboardTemplate, TemplateError> loadKeyboardTemplate() {
    const QString ref = QStringLiteral("keyboard:%1").arg(kKeyboardTemplateId);
    const std::optional<QByteArray> bytes = ui::ResourcePackage::embedded().bytes(ref);
    if (!bytes)
        return fail(TemplateErrorKind::NotFound, QStringLiteral("resource %1 not found").arg(ref));
    return parseKeyboardTemplate(*bytes);
}

QString substituteDialogFace(const QString& face) {
    if (face.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    return face;
}

QFont dialogFont(const KeyboardTemplate& tpl) {
    QFont f(substituteDialogFace(tpl.fontFace));
    f.setPointSize(tpl.pointSize);
    f.setWeight(QFont::Weight(tpl.weight));
    f.setItalic(tpl.italic);
    f.setStyleStrategy(QFont::PreferMatch);
    return f;
}

DialogBaseUnits dialogBaseUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const int cx =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Rounded average of the 52 letters, as the window system computes it.
    return DialogBaseUnits{(cx / 26 + 1) / 2, fm.height()};
}

int mulDiv(int a, int b, int c) {
    if (c == 0)
        return 0;
    const long long p = (long long)a * b;
    const bool negative = (p < 0) != (c < 0);
    const long long ap = std::llabs(p);
    const long long ac = std::llabs((long long)c);
    const long long q = (ap + ac / 2) / ac;
    return int(negative ? -q : q);
}

QRect mapDialogRect(const QRect& du, DialogBaseUnits u) {
    const int l = mulDiv(du.x(), u.x, 4);
    const int t = mulDiv(du.y(), u.y, 8);
    const int r = mulDiv(du.x() + du.width(), u.x, 4);
    const int b = mulDiv(du.y() + du.height(), u.y, 8);
    return QRect(l, t, r - l, b - t);
}

QSize mapDialogSize(const QSize& du, DialogBaseUnits u) {
    return QSize(mulDiv(du.width(), u.x, 4), mulDiv(du.height(), u.y, 8));
}

} // namespace velorin::keysel
