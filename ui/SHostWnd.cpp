#include "ui/SHostWnd.h"

#include "model/Log.h"
#include "ui/AttributeParsers.h"
#include "ui/AttributeTable.h"
#include "ui/Resources.h"
#include "ui/Toolkit.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>

namespace velorin::ui {
namespace {

// "ICON_LOGO:32" -> the icon "ICON_LOGO" (every size it has).
QIcon iconFromAttribute(const QString& value) {
    const Toolkit* tk = Toolkit::instance();
    if (!tk)
        return {};
    const QString name = value.section(u':', 0, 0).trimmed();
    return tk->loadIcon(name);
}

} // namespace

SHostWnd::SHostWnd(QString layoutRef, QWidget* owner, Qt::WindowFlags flags)
    : SWindow(owner), layoutRef_(std::move(layoutRef)) {
    setWindowFlags(flags | Qt::Window);
}

SHostWnd::~SHostWnd() = default;

bool SHostWnd::isKindOf(QStringView kind) const {
    return kind == u"hostwnd" || SWindow::isKindOf(kind);
}

bool SHostWnd::create() {
    if (created_)
        return false;
    const Toolkit* tk = Toolkit::instance();
    if (!tk) {
        qCWarning(lcSoui) << "no toolkit to build" << layoutRef_ << "from";
        return false;
    }
    const auto bytes = tk->package().bytes(layoutRef_);
    if (!bytes) {
        qCWarning(lcSoui) << "layout" << layoutRef_ << "not found";
        return false;
    }
    pugi::xml_document doc;
    if (const pugi::xml_parse_result r = doc.load_buffer(bytes->constData(), size_t(bytes->size())); !r) {
        qCWarning(lcSoui) << "layout" << layoutRef_ << "cannot be parsed:" << r.description() << "at"
                          << r.offset;
        return false;
    }
    return createFromXml(doc.document_element());
}

bool SHostWnd::createFromXml(const pugi::xml_node& hostNode) {
    if (created_ || !hostNode)
        return false;
    created_ = true;
    if (const Toolkit* tk = Toolkit::instance())
        setFont(tk->defaultFont());
    for (const pugi::xml_attribute& a : hostNode.attributes()) {
        const QString key = QString::fromUtf8(a.name());
        if (!setAttribute(key, QString::fromUtf8(a.value())))
            qCWarning(lcSoui) << "host attribute" << key << "=" << a.value() << "not usable";
    }
    // The title is translated in the host's context, which may come after it among the attributes.
    if (hasAttribute(QStringLiteral("title")))
        setWindowTitle(layoutText(attribute(QStringLiteral("title"))));
    if (const pugi::xml_node root = hostNode.child("root"))
        loadFromXml(root);
    if (fixedSize_.width() >= 0 && fixedSize_.height() >= 0)
        setFixedSize(fixedSize_);
    relayoutChildren();
    return true;
}

bool SHostWnd::setAttribute(const QString& name, const QString& value) {
    // Each keeps the value as a generic attribute too.
    static const AttributeSetter<SHostWnd> table[] = {
        {u"title",
         [](SHostWnd& w, const QString& n, const QString& v) {
             w.SWindow::setAttribute(n, v);
             w.setWindowTitle(w.layoutText(v));
             return true;
         }},
        {u"bigIcon",
         [](SHostWnd& w, const QString& n, const QString& v) { return w.setIconAttribute(n, v); }},
        {u"smallIcon",
         [](SHostWnd& w, const QString& n, const QString& v) { return w.setIconAttribute(n, v); }},
        {u"width", [](SHostWnd& w, const QString& n, const QString& v) { return w.setFixedExtent(n, v); }},
        {u"height", [](SHostWnd& w, const QString& n, const QString& v) { return w.setFixedExtent(n, v); }},
        {u"translucent",
         [](SHostWnd& w, const QString& n, const QString& v) {
             w.SWindow::setAttribute(n, v);
             w.translucent_ = parseSwitch(v);
             w.QWidget::setAttribute(Qt::WA_TranslucentBackground, w.translucent_);
             w.QWidget::setAttribute(Qt::WA_NoSystemBackground, w.translucent_);
             return true;
         }},
        {u"colorFocus",
         [](SHostWnd& w, const QString& n, const QString& v) {
             const QColor c = parseQColor(v);
             if (!c.isValid())
                 return false;
             w.focusColor_ = c;
             return w.SWindow::setAttribute(n, v);
         }},
    };
    // "resizable", "appWnd" and "trCtx" are kept for whoever asks: the host is always fixed-size.
    if (const auto* setter = findAttributeSetter<SHostWnd>(table, name))
        return setter->apply(*this, name, value);
    return SWindow::setAttribute(name, value);
}

bool SHostWnd::setIconAttribute(const QString& name, const QString& value) {
    SWindow::setAttribute(name, value);
    const QIcon icon = iconFromAttribute(value);
    (name == u"bigIcon" ? bigIcon_ : smallIcon_) = icon;
    if (!icon.isNull() && (name == u"bigIcon" || windowIcon().isNull()))
        setWindowIcon(icon);
    return true;
}

bool SHostWnd::setFixedExtent(const QString& name, const QString& value) {
    const std::optional<int> v = parseInteger(value);
    if (!v || *v < 0 || *v > 16384)
        return false;
    SWindow::setAttribute(name, value);
    if (name == u"width")
        fixedSize_.setWidth(*v);
    else
        fixedSize_.setHeight(*v);
    return true;
}

void SHostWnd::centerOnWorkArea() {
    QScreen* s = screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void SHostWnd::setFocusOutlineShown(bool shown) {
    if (shown == focusOutlineShown_)
        return;
    focusOutlineShown_ = shown;
    if (QWidget* f = focusWidget(); f && isAncestorOf(f))
        f->update();
}

void SHostWnd::focusFromKeyboard(SWindow* element, Qt::FocusReason reason) {
    if (!element || !isAncestorOf(element))
        return;
    setFocusOutlineShown(true);
    if (!element->hasFocus())
        element->setFocus(reason); // the element redraws itself with the outline
}

bool SHostWnd::focusNextPrevChild(bool next) {
    QList<SWindow*> chain = focusChain();
    chain.removeIf([](const SWindow* w) { return !w || !w->isVisible() || !w->isEnabled(); });
    if (chain.isEmpty())
        return SWindow::focusNextPrevChild(next);
    // While the outline is hidden the keyboard has no place yet: the walk starts at an end.
    const qsizetype at = focusOutlineShown_ ? chain.indexOf(qobject_cast<SWindow*>(focusWidget())) : -1;
    const qsizetype n = chain.size();
    qsizetype to = 0;
    if (at < 0)
        to = next ? 0 : n - 1;
    else
        to = (at + (next ? 1 : n - 1)) % n;
    focusFromKeyboard(chain[to], next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void SHostWnd::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    const bool plain = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && !e->isAutoRepeat() &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        auto* focused = qobject_cast<SWindow*>(focusWidget());
        if (focused && focused != this && isAncestorOf(focused) && focused->commandOnClick()) {
            e->accept();
            setFocusOutlineShown(true);
            focused->click(); // may run a menu or close the window: nothing may follow
            return;
        }
    }
    SWindow::keyPressEvent(e);
}

bool SHostWnd::onEvent(EventArgs&) {
    return false;
}

bool SHostWnd::onMessage(QEvent*) {
    return false;
}

bool SHostWnd::event(QEvent* e) {
    if (e->type() == QEvent::Resize && minimumSize() == maximumSize() && size() != minimumSize() &&
        windowHandle()) {
        // The native window was resized behind the widget's back (a window manager ignoring the size
        // hints): put the fixed size back.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (minimumSize() == maximumSize() && size() != minimumSize() && windowHandle())
                    windowHandle()->resize(minimumSize());
            },
            Qt::QueuedConnection);
    }
    if (e->type() >= QEvent::User && e->type() <= QEvent::MaxUser) {
        if (onMessage(e)) {
            e->accept();
            return true;
        }
    }
    return SWindow::event(e);
}

} // namespace velorin::ui
