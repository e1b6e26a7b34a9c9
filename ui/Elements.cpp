#include "ui/Elements.h"

#include "model/Log.h"
#include "ui/AttributeParsers.h"
#include "ui/AttributeTable.h"
#include "ui/Skin.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <QWindow>

namespace velorin::ui {

// ---- SImageWnd
// ------------------------------------------------------------------------------------------------

SImageWnd::SImageWnd(QWidget* parent) : SWindow(parent) {
    setAccessibleRole(QAccessible::Graphic);
}

bool SImageWnd::isKindOf(QStringView kind) const {
    return kind == u"img" || kind == u"image" || SWindow::isKindOf(kind);
}

void SImageWnd::setImage(const QImage& image) {
    if (image.isNull())
        ownImage_.reset();
    else
        ownImage_ = std::make_unique<ImageFrameSkin>(image);
    update();
}

void SImageWnd::paintSkin(QPainter& p, int state) {
    if (ownImage_)
        ownImage_->draw(p, rect(), kStateNormal);
    else
        SWindow::paintSkin(p, state);
}

// ---- SImageButton
// ---------------------------------------------------------------------------------------------

SImageButton::SImageButton(QWidget* parent) : SWindow(parent) {
    setCommandOnClick(true);
    setTextAlignment(Qt::AlignCenter);
}

bool SImageButton::isKindOf(QStringView kind) const {
    return kind == u"imgbtn" || kind == u"button" || SWindow::isKindOf(kind);
}

bool SImageButton::setAttribute(const QString& name, const QString& value) {
    // Each also keeps the value as a generic attribute. "tip" is kept like any other but never shown.
    static const AttributeSetter<SImageButton> table[] = {
        {u"animate",
         [](SImageButton& w, const QString& n, const QString& v) {
             w.animate_ = parseSwitch(v);
             return w.SWindow::setAttribute(n, v);
         }},
    };
    if (const auto* setter = findAttributeSetter<SImageButton>(table, name))
        return setter->apply(*this, name, value);
    return SWindow::setAttribute(name, value);
}

bool SImageButton::event(QEvent* e) {
    const bool tip = e->type() == QEvent::ToolTip && !toolTip().isEmpty();
    if (!tip && (e->type() == QEvent::ToolTip || e->type() == QEvent::WhatsThis)) {
        e->accept();
        return true; // image buttons show a tool tip only when the program gives them one
    }
    return SWindow::event(e);
}

void SImageButton::paintSkin(QPainter& p, int state) {
    Skin* s = skin();
    if (!s)
        return;
    if (fadeFrom_ >= 0 && fade_ < 1.0) {
        s->draw(p, rect(), fadeFrom_);
        p.save();
        p.setOpacity(fade_);
        s->draw(p, rect(), state);
        p.restore();
        return;
    }
    s->draw(p, rect(), state);
}

void SImageButton::onStateChanged(int oldState, int newState) {
    if (!animate_ || !isVisible() || !skin() ||
        skin()->effectiveState(oldState) == skin()->effectiveState(newState)) {
        fadeFrom_ = -1;
        fade_ = 1.0;
        update();
        return;
    }
    if (animation_)
        animation_->stop();
    fadeFrom_ = oldState;
    fade_ = 0.0;
    auto* anim = new QVariantAnimation(this);
    anim->setStartValue(0.0);
    anim->setEndValue(1.0);
    anim->setDuration(kFadeMs);
    connect(anim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        fade_ = v.toReal();
        update();
    });
    connect(anim, &QVariantAnimation::finished, this, [this] {
        fadeFrom_ = -1;
        fade_ = 1.0;
        update();
    });
    animation_ = anim;
    anim->start(QAbstractAnimation::DeleteWhenStopped);
    update();
}

// ---- SStatic
// --------------------------------------------------------------------------------------------------

SStatic::SStatic(QWidget* parent) : SWindow(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleRole(QAccessible::StaticText);
}

bool SStatic::isKindOf(QStringView kind) const {
    return kind == u"text" || kind == u"static" || SWindow::isKindOf(kind);
}

void SStatic::setText(const QString& text) {
    SWindow::setText(text);
    // Without a size of its own the element follows its text.
    if (!hasAttribute(QStringLiteral("size")) && !hasAttribute(QStringLiteral("width")))
        if (auto* parent = qobject_cast<SWindow*>(parentWidget()))
            applyLayout(parent->clientRect());
}

QSize SStatic::desiredSize() const {
    if (text().isEmpty())
        return SWindow::desiredSize();
    const QSize t = fontMetrics().size(Qt::TextSingleLine, text());
    return t.grownBy(margin());
}

// ---- SCaption
// -------------------------------------------------------------------------------------------------

SCaption::SCaption(QWidget* parent) : SWindow(parent) {
    setAccessibleRole(QAccessible::TitleBar);
}

bool SCaption::isKindOf(QStringView kind) const {
    return kind == u"caption" || SWindow::isKindOf(kind);
}

void SCaption::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        SWindow::mousePressEvent(e);
        return;
    }
    e->accept();
    QWidget* top = window();
    // Let the window manager move the window where it can; otherwise follow the mouse ourselves.
    if (QWindow* handle = top->windowHandle(); handle && handle->startSystemMove())
        return;
    dragOffset_ = e->globalPosition().toPoint() - top->pos();
}

void SCaption::mouseMoveEvent(QMouseEvent* e) {
    if (dragOffset_ && (e->buttons() & Qt::LeftButton)) {
        window()->move(e->globalPosition().toPoint() - *dragOffset_);
        e->accept();
        return;
    }
    SWindow::mouseMoveEvent(e);
}

void SCaption::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && dragOffset_) {
        window()->move(e->globalPosition().toPoint() - *dragOffset_);
        dragOffset_.reset();
        e->accept();
        return;
    }
    dragOffset_.reset();
    SWindow::mouseReleaseEvent(e);
}

// ---- STabPage
// -------------------------------------------------------------------------------------------------

STabPage::STabPage(QWidget* parent) : SWindow(parent) {
    setAccessibleRole(QAccessible::Pane);
    setLayoutSpec(QPoint(0, 0), kFill, kFill);
}

bool STabPage::isKindOf(QStringView kind) const {
    return kind == u"page" || SWindow::isKindOf(kind);
}

bool STabPage::setAttribute(const QString& name, const QString& value) {
    static const AttributeSetter<STabPage> table[] = {
        {u"title",
         [](STabPage& w, const QString& n, const QString& v) {
             w.title_ = v;
             return w.SWindow::setAttribute(n, v);
         }},
    };
    if (const auto* setter = findAttributeSetter<STabPage>(table, name))
        return setter->apply(*this, name, value);
    return SWindow::setAttribute(name, value);
}

// ---- STabCtrl
// -------------------------------------------------------------------------------------------------

STabCtrl::STabCtrl(QWidget* parent) : SWindow(parent) {
    setFocusPolicy(Qt::NoFocus);
}

bool STabCtrl::isKindOf(QStringView kind) const {
    return kind == u"tabctrl" || kind == u"tabcontrol" || SWindow::isKindOf(kind);
}

bool STabCtrl::setAttribute(const QString& name, const QString& value) {
    static const AttributeSetter<STabCtrl> table[] = {
        {u"curSel",
         [](STabCtrl& w, const QString& n, const QString& v) {
             const std::optional<int> index = parseInteger(v);
             if (!index)
                 return false;
             w.initialSel_ = *index;
             return w.SWindow::setAttribute(n, v);
         }},
        {u"focusable",
         [](STabCtrl& w, const QString& n, const QString& v) {
             // Kept, but a tab control never takes the focus.
             w.SWindow::setAttribute(n, v);
             w.setFocusPolicy(Qt::NoFocus);
             return true;
         }},
    };
    if (const auto* setter = findAttributeSetter<STabCtrl>(table, name))
        return setter->apply(*this, name, value);
    return SWindow::setAttribute(name, value);
}

void STabCtrl::createChildren(const pugi::xml_node& node) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (QStringView(QString::fromUtf8(child.name())) != u"page") {
            qCWarning(lcSoui) << "tab control" << name() << "holds only pages; skipped" << child.name();
            continue;
        }
        auto* p = new STabPage(this);
        p->setVisible(false);
        p->loadFromXml(child);
        insertPage(p);
    }
}

STabPage* STabCtrl::page(int index) const {
    return index >= 0 && index < pageCount() ? pages_[size_t(index)].data() : nullptr;
}

int STabCtrl::pageIndex(QStringView title) const {
    for (int i = 0; i < pageCount(); ++i)
        if (pages_[size_t(i)] && pages_[size_t(i)]->title() == title)
            return i;
    return -1;
}

STabPage* STabCtrl::page(QStringView title) const {
    return page(pageIndex(title));
}

int STabCtrl::insertPage(STabPage* p) {
    if (p->parentWidget() != this)
        p->setParent(this);
    p->setVisible(false);
    pages_.emplace_back(p);
    p->applyLayout(clientRect());
    return pageCount() - 1;
}

bool STabCtrl::setCurSel(int index) {
    if (index < 0 || index >= pageCount() || !pages_[size_t(index)])
        return false;
    for (int i = 0; i < pageCount(); ++i)
        if (pages_[size_t(i)] && i != index)
            pages_[size_t(i)]->setVisible(false);
    pages_[size_t(index)]->setVisible(true);
    const bool changed = curSel_ != index;
    curSel_ = index;
    if (changed)
        Q_EMIT currentChanged(index);
    return true;
}

bool STabCtrl::setCurSel(QStringView title) {
    return setCurSel(pageIndex(title));
}

void STabCtrl::onLoaded() {
    if (pageCount() > 0)
        setCurSel(std::clamp(initialSel_, 0, pageCount() - 1));
}

} // namespace velorin::ui
