#include "ui/SWindow.h"

#include "model/Log.h"
#include "ui/Accessible.h"
#include "ui/Elements.h"
#include "ui/Resources.h"
#include "ui/SHostWnd.h"
#include "ui/Skin.h"
#include "ui/Toolkit.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>

namespace velorin::ui {
namespace {

// Nesting limit for "include" (a layout that includes itself would otherwise never end).
constexpr int kMaxIncludeDepth = 8;
thread_local int includeDepth = 0;

QHash<QString, ElementCreator>& registry() {
    static QHash<QString, ElementCreator> kinds = [] {
        QHash<QString, ElementCreator> k;
        k.insert(QStringLiteral("window"), [](QWidget* p) { return new SWindow(p); });
        k.insert(QStringLiteral("img"), [](QWidget* p) { return new SImageWnd(p); });
        k.insert(QStringLiteral("imgbtn"), [](QWidget* p) { return new SImageButton(p); });
        k.insert(QStringLiteral("text"), [](QWidget* p) { return new SStatic(p); });
        k.insert(QStringLiteral("caption"), [](QWidget* p) { return new SCaption(p); });
        k.insert(QStringLiteral("tabctrl"), [](QWidget* p) { return new STabCtrl(p); });
        k.insert(QStringLiteral("page"), [](QWidget* p) { return new STabPage(p); });
        return k;
    }();
    return kinds;
}

} // namespace

void registerElementKind(const QString& tag, ElementCreator creator) {
    registry().insert(tag.toLower(), std::move(creator));
}

SWindow* createElement(const QString& tag, QWidget* parent) {
    const auto it = registry().constFind(tag.toLower());
    return it == registry().constEnd() ? nullptr : (*it)(parent);
}

SWindow::SWindow(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    installAccessibleFactory();
}

SWindow::~SWindow() = default;

bool SWindow::isKindOf(QStringView kind) const {
    return kind == className() || kind == u"window";
}

// ---- Finding ----------------------------------------------------------------------------------------------

SWindow* SWindow::findFirst(const std::function<bool(const SWindow*)>& match, int depth) const {
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow())
            continue;
        auto* sw = qobject_cast<SWindow*>(w);
        if (sw && match(sw))
            return sw;
        if (depth == 1)
            continue;
        if (sw) {
            if (SWindow* found = sw->findFirst(match, depth < 0 ? depth : depth - 1))
                return found;
        } else {
            // A plain widget in between: look further below it.
            for (SWindow* inner : w->findChildren<SWindow*>(Qt::FindDirectChildrenOnly)) {
                if (match(inner))
                    return inner;
                if (SWindow* found = inner->findFirst(match, depth < 0 ? depth : depth - 1))
                    return found;
            }
        }
    }
    return nullptr;
}

SWindow* SWindow::findChildByName(QStringView name, QStringView kind, int depth) const {
    if (name.isEmpty())
        return nullptr;
    return findFirst(
        [&](const SWindow* w) { return w->name() == name && (kind.isEmpty() || w->isKindOf(kind)); }, depth);
}

SWindow* SWindow::findChildById(int id, int depth) const {
    return findFirst([&](const SWindow* w) { return w->id() == id; }, depth);
}

bool SWindow::isSelfOrAncestorOf(const QWidget* w) const {
    for (; w; w = w->parentWidget()) {
        if (w == this)
            return true;
        if (w->isWindow())
            break;
    }
    return false;
}

// ---- Host
// -----------------------------------------------------------------------------------------------------

SHostWnd* SWindow::hostWindow() const {
    for (const QWidget* w = this; w; w = w->parentWidget()) {
        if (auto* host = qobject_cast<SHostWnd*>(const_cast<QWidget*>(w)))
            return host;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

QRect SWindow::windowRectInHost() const {
    const SHostWnd* host = hostWindow();
    if (!host || host == this)
        return QRect(QPoint(0, 0), size());
    return QRect(mapTo(host, QPoint(0, 0)), size());
}

QPoint SWindow::hostToScreen(QPoint p) const {
    const SHostWnd* host = hostWindow();
    return host ? host->mapToGlobal(p) : mapToGlobal(p);
}

// ---- Text, state, visibility
// ---------------------------------------------------------------------------------

void SWindow::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    update();
    if (QAccessible::isActive()) {
        // The text is the name, or with a name of its own the value (see Accessible.cpp).
        QAccessibleEvent event(this, accessibleName().isEmpty() ? QAccessible::NameChanged
                                                                : QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void SWindow::setChecked(bool checked) {
    setStateFlags(hovered_, pushed_, checked);
}

void SWindow::setVisibleNow(bool visible) {
    setVisible(visible);
    if (QWidget* parent = parentWidget(); parent && parent->isVisible())
        parent->repaint(geometry());
}

void VisibilityBatch::setVisible(SWindow* element, bool visible) {
    QWidget* parent = element->parentWidget();
    if (parent != parent_)
        flush();
    parent_ = parent;
    element->setVisible(visible);
    region_ += element->geometry();
    if (visible)
        shown_.emplace_back(element);
}

void VisibilityBatch::flush() {
    if (parent_ && parent_->isVisible() && !region_.isEmpty()) {
        parent_->repaint(region_);
        // Showing a child posts it a deferred update of its whole area, and showing or hiding one
        // posts its parent a layout request. The repaint above has already drawn those areas as
        // they are now, so without this each change was painted a second time a moment later.
        for (const QPointer<QWidget>& element : shown_)
            if (element)
                QCoreApplication::removePostedEvents(element, QEvent::UpdateLater);
        if (!parent_->layout())
            QCoreApplication::removePostedEvents(parent_, QEvent::LayoutRequest);
    }
    region_ = QRegion();
    shown_.clear();
}

int SWindow::drawState() const {
    if (!isEnabled())
        return kStateDisabled;
    if (pushed_ || checked_)
        return kStatePushed;
    if (hovered_)
        return kStateHover;
    return kStateNormal;
}

void SWindow::setStateFlags(bool hovered, bool pushed, bool checked) {
    const int before = drawState();
    hovered_ = hovered;
    pushed_ = pushed;
    checked_ = checked;
    const int after = drawState();
    if (before != after)
        onStateChanged(before, after);
    else
        update();
}

void SWindow::onStateChanged(int, int) {
    update();
}

// ---- Attributes
// -----------------------------------------------------------------------------------------------

void SWindow::setSkin(Skin* skin) {
    skin_ = skin;
    update();
}

void SWindow::setMargin(const QMargins& m) {
    margin_ = m;
    relayoutChildren();
    update();
}

void SWindow::setTextColor(const QColor& c) {
    colorText_ = c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    update();
}

void SWindow::setTextAlignment(Qt::Alignment a) {
    align_ = a;
    update();
}

QColor SWindow::textColor() const {
    const int state = drawState();
    for (const QWidget* w = this; w; w = w->parentWidget()) {
        if (const auto* sw = qobject_cast<const SWindow*>(w)) {
            if (state == kStateDisabled && sw->colorTextDisabled_)
                return *sw->colorTextDisabled_;
            if (state == kStatePushed && sw->colorTextPushed_)
                return *sw->colorTextPushed_;
            if (state == kStateHover && sw->colorTextHover_)
                return *sw->colorTextHover_;
            if (sw->colorText_)
                return *sw->colorText_;
        }
        if (w->isWindow())
            break;
    }
    return QColor(Qt::black);
}

QString SWindow::translationContext() const {
    for (const QWidget* w = this; w; w = w->parentWidget()) {
        if (const auto* sw = qobject_cast<const SWindow*>(w); sw && sw->hasAttribute(QStringLiteral("trCtx")))
            return sw->attribute(QStringLiteral("trCtx"));
        if (w->isWindow())
            break;
    }
    return {};
}

QString SWindow::layoutText(const QString& raw) const {
    QString text = raw;
    if (const Toolkit* tk = Toolkit::instance())
        text = tk->resolveString(text);
    const QString ctx = translationContext();
    if (!ctx.isEmpty() && !text.isEmpty())
        text = QCoreApplication::translate(ctx.toUtf8().constData(), text.toUtf8().constData());
    return text;
}

bool SWindow::setAttribute(const QString& name, const QString& value) {
    if (!applyAttribute(name, value))
        return false;
    attributes_.insert(name, value);
    return true;
}

// ---- Layout
// --------------------------------------------------------------------------------------------------

void SWindow::setLayoutSpec(QPoint pos, std::optional<int> width, std::optional<int> height) {
    specPos_ = pos;
    specWidth_ = width;
    specHeight_ = height;
}

QSize SWindow::desiredSize() const {
    if (skin_) {
        const QSize s = skin_->naturalSize();
        if (!s.isEmpty())
            return s;
    }
    if (!text_.isEmpty()) {
        const QSize t = fontMetrics().size(Qt::TextSingleLine, text_);
        return t.grownBy(margin_);
    }
    return QSize(0, 0);
}

void SWindow::applyLayout(const QRect& parentClient) {
    const QPoint pos = specPos_.value_or(QPoint(0, 0));
    const int x = parentClient.x() + pos.x();
    const int y = parentClient.y() + pos.y();
    std::optional<QSize> want;
    auto wanted = [&] {
        if (!want)
            want = desiredSize();
        return *want;
    };
    int w = 0, h = 0;
    if (specWidth_ && *specWidth_ == kFill)
        w = parentClient.x() + parentClient.width() - x;
    else
        w = specWidth_ ? *specWidth_ : wanted().width();
    if (specHeight_ && *specHeight_ == kFill)
        h = parentClient.y() + parentClient.height() - y;
    else
        h = specHeight_ ? *specHeight_ : wanted().height();
    setGeometry(x, y, std::max(0, w), std::max(0, h));
    relayoutChildren();
}

void SWindow::relayoutChildren() {
    const QRect client = clientRect();
    for (QObject* o : children()) {
        auto* child = qobject_cast<SWindow*>(o);
        if (child && !child->isWindow())
            child->applyLayout(client);
    }
}

// ---- Building from XML
// ---------------------------------------------------------------------------------------

bool SWindow::loadFromXml(const pugi::xml_node& node) {
    if (!node)
        return false;
    if (const pugi::xml_attribute cls = node.attribute("class"))
        setAttribute(QStringLiteral("class"), QString::fromUtf8(cls.value()));
    for (const pugi::xml_attribute& a : node.attributes()) {
        const QString key = QString::fromUtf8(a.name());
        if (key == u"class")
            continue;
        if (!setAttribute(key, QString::fromUtf8(a.value())))
            qCWarning(lcSoui) << "attribute" << key << "=" << a.value() << "not usable on" << node.name()
                              << objectName();
    }
    if (id_ == 0 && !name().isEmpty()) {
        if (const Toolkit* tk = Toolkit::instance())
            id_ = tk->namedIds().id(name()).value_or(0);
    }
    const QString raw = QString::fromUtf8(node.text().get()).trimmed();
    if (!raw.isEmpty())
        setText(layoutText(raw));
    createChildren(node);
    relayoutChildren();
    onLoaded();
    return true;
}

void SWindow::createChildren(const pugi::xml_node& node) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const QString tag = QString::fromUtf8(child.name());
        if (tag == u"include") {
            const QString src = QString::fromUtf8(child.attribute("src").as_string());
            const Toolkit* tk = Toolkit::instance();
            const auto bytes = tk ? tk->package().bytes(src) : std::nullopt;
            if (!bytes) {
                qCWarning(lcSoui) << "included layout" << src << "not found";
                continue;
            }
            if (includeDepth >= kMaxIncludeDepth) {
                qCWarning(lcSoui) << "layouts include each other too deeply at" << src;
                continue;
            }
            pugi::xml_document doc;
            if (!doc.load_buffer(bytes->constData(), size_t(bytes->size()))) {
                qCWarning(lcSoui) << "included layout" << src << "cannot be parsed";
                continue;
            }
            ++includeDepth;
            createChildren(doc.document_element());
            --includeDepth;
            continue;
        }
        SWindow* element = createElement(tag, this);
        if (!element) {
            qCWarning(lcSoui) << "unknown element kind" << tag << "skipped";
            continue;
        }
        element->loadFromXml(child);
    }
}

// ---- Events
// ---------------------------------------------------------------------------------------------------

bool SWindow::fireEvent(int eventId) {
    EventArgs args{eventId, this, name(), id_};
    return fireEvent(args);
}

bool SWindow::fireEvent(EventArgs& args) {
    SHostWnd* host = hostWindow();
    return host ? host->onEvent(args) : false;
}

void SWindow::click() {
    if (isEnabled())
        onClick(); // may close or destroy this element's window: nothing may follow
}

QAccessible::Role SWindow::accessibleRole() const {
    if (accessibleRole_)
        return *accessibleRole_;
    if (commandOnClick_)
        return QAccessible::Button;
    return isWindow() ? QAccessible::Window : QAccessible::Client;
}

void SWindow::setAccessiblePressed(bool pressed) {
    if (pressed == accessiblePressed_)
        return;
    accessiblePressed_ = pressed;
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.pressed = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void SWindow::onClick() {
    QPointer<SWindow> self(this);
    Q_EMIT clicked();
    if (self && commandOnClick_)
        fireEvent(kEventCommand);
}

// ---- Qt events
// ------------------------------------------------------------------------------------------------

bool SWindow::drawsSomething() const {
    return colorBkgnd_.isValid() || skin_ || (colorBorder_.isValid() && !margin_.isNull()) ||
           !text_.isEmpty();
}

void SWindow::paintEvent(QPaintEvent*) {
    if (!drawsSomething() && !hasFocus())
        return;
    QPainter p(this);
    paintBackground(p);
    paintContent(p);
    if (hasFocus()) {
        // The keyboard's place, once the keyboard has been used in this window.
        const SHostWnd* host = hostWindow();
        if (host && host != this && host->focusOutlineShown() && host->focusColor().isValid()) {
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(host->focusColor(), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(visibleRect()).adjusted(1, 1, -1, -1));
        }
    }
}

QRect SWindow::visibleRect() {
    if (!skin_ || colorBkgnd_.isValid() || size().isEmpty())
        return rect();
    // The part of the skin that is not transparent: a button picture may carry a clear margin.
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter ip(&image);
        paintSkin(ip, kStateNormal);
    }
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) < 0x40)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? rect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

void SWindow::paintBackground(QPainter& p) {
    if (colorBkgnd_.isValid())
        p.fillRect(rect(), colorBkgnd_);
    if (skin_)
        paintSkin(p, drawState());
    if (colorBorder_.isValid() && !margin_.isNull()) {
        const QRect r = rect();
        p.fillRect(QRect(r.left(), r.top(), r.width(), margin_.top()), colorBorder_);
        p.fillRect(QRect(r.left(), r.bottom() - margin_.bottom() + 1, r.width(), margin_.bottom()),
                   colorBorder_);
        p.fillRect(QRect(r.left(), r.top(), margin_.left(), r.height()), colorBorder_);
        p.fillRect(QRect(r.right() - margin_.right() + 1, r.top(), margin_.right(), r.height()),
                   colorBorder_);
    }
}

void SWindow::paintSkin(QPainter& p, int state) {
    if (skin_)
        skin_->draw(p, rect(), state);
}

void SWindow::paintContent(QPainter& p) {
    if (text_.isEmpty())
        return;
    p.setFont(font());
    p.setPen(textColor());
    p.drawText(clientRect(), int(align_) | Qt::TextSingleLine, text_);
}

void SWindow::enterEvent(QEnterEvent* e) {
    QWidget::enterEvent(e);
    setStateFlags(true, pushed_, checked_);
    fireEvent(kEventMouseHover);
}

void SWindow::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    setStateFlags(false, false, checked_);
    fireEvent(kEventMouseLeave);
}

void SWindow::mousePressEvent(QMouseEvent* e) {
    if (SHostWnd* host = hostWindow())
        host->setFocusOutlineShown(false); // a mouse user sees no keyboard outline
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    setStateFlags(hovered_, true, checked_);
    e->accept();
}

void SWindow::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    const bool wasPushed = pushed_;
    const bool inside = rect().contains(e->position().toPoint());
    setStateFlags(inside, false, checked_);
    e->accept();
    if (wasPushed && inside)
        onClick(); // may close or destroy this element's window: nothing may follow
}

void SWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    relayoutChildren();
}

void SWindow::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    update();
}

void SWindow::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    update();
}

void SWindow::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        update();
}

} // namespace velorin::ui
