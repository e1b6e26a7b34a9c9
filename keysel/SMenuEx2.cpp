// A menu: its window, building from a description, placement, sub-menus, selection and keys.
#include "keysel/SMenuEx2.h"

#include "keysel/MenuLogic.h"
#include "keysel/SMenuEx2Items.h"
#include "keysel/SMenuEx2_p.h"
#include "model/Log.h"
#include "ui/Resources.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>

#include <vector>

namespace velorin::keysel {

namespace {

// Which items of a menu can be selected (enabled and shown).
QList<bool> selectableItems(const QList<SMenuEx2Item*>& items) {
    QList<bool> enabled;
    for (const SMenuEx2Item* i : items)
        enabled.push_back(i->isEnabled() && !i->isHidden());
    return enabled;
}

std::span<const bool> asSpan(const QList<bool>& list) {
    return std::span<const bool>(list.constData(), std::size_t(list.size()));
}

} // namespace

// ---- Window --------------------------------------------------------------------------------------------

SMenuEx2Window::SMenuEx2Window(SMenuEx2* menu)
    : ui::SHostWnd(QString(), nullptr,
                   Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::WindowDoesNotAcceptFocus),
      menu_(menu) {
    setObjectName(QStringLiteral("SMenuEx2"));
    QWidget::setAttribute(Qt::WA_ShowWithoutActivating);
    ui::SHostWnd::setAttribute(QStringLiteral("translucent"), QStringLiteral("1"));
    setFocusPolicy(Qt::NoFocus);
}

bool SMenuEx2Window::onEvent(ui::EventArgs& args) {
    return menu_->onElementEvent(args.id, args.sender);
}

void SMenuEx2Window::relayoutChildren() {
    if (SMenuEx2Root* root = menu_->root())
        root->setGeometry(rect());
}

void SMenuEx2Window::keyPressEvent(QKeyEvent* event) {
    if (!menu_->onKey(event->key()))
        event->ignore();
}

// ---- Menu ------------------------------------------------------------------------------------------------

SMenuEx2::SMenuEx2(SMenuEx2Item* parentItem) : parentItem_(parentItem) {
    hoverTimer_.setSingleShot(true);
    hoverTimer_.setTimerType(Qt::PreciseTimer);
    hoverTimer_.setInterval(subMenuDelay_);
    QObject::connect(&hoverTimer_, &QTimer::timeout, &hoverTimer_, [this] {
        if (hoverItem_)
            OpenSubMenu(hoverItem_, false);
    });
}

SMenuEx2::~SMenuEx2() {
    hoverTimer_.stop();
    if (MenuRun* run = MenuRun::current())
        run->noteHidden(this);
}

bool SMenuEx2::LoadDescription() {
    const std::optional<QByteArray> bytes =
        ui::ResourcePackage::embedded().bytes(QString::fromLatin1(kDescriptionRef));
    if (!bytes) {
        qCWarning(velorin::lcSoui) << "menu description" << kDescriptionRef << "not found";
        return false;
    }
    return LoadXml(*bytes);
}

bool SMenuEx2::LoadXml(const QByteArray& xml) {
    if (xml.size() > kMaxDescriptionBytes)
        return false;
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.constData(), std::size_t(xml.size()))) {
        qCWarning(velorin::lcSoui) << "menu description is not well-formed";
        return false;
    }
    return CreateFromXml(doc.document_element());
}

bool SMenuEx2::CreateFromXml(const pugi::xml_node& element) {
    if (window_)
        return false;
    const std::string_view name = element.name();
    if (name != "menuRoot" && name != "menuItem")
        return false;
    window_ = std::make_unique<SMenuEx2Window>(this);
    root_ = new SMenuEx2Root(this, window_.get());
    root_->loadFromXml(element);
    resizeToItems();
    return true;
}

int SMenuEx2::AppendItem(int id, const QString& text) {
    if (!root_)
        return 0;
    auto* item = new SMenuEx2Item(this, root_);
    item->setText(text);
    item->setAttribute(QStringLiteral("ID"), QString::number(id));
    resizeToItems();
    return 0;
}

void SMenuEx2::resizeToItems() {
    const QSize size = root_->desiredSize();
    window_->resize(size);
    root_->setGeometry(0, 0, size.width(), size.height());
    root_->layoutItems();
}

ui::SHostWnd* SMenuEx2::window() const {
    return window_.get();
}

void SMenuEx2::setSubMenuDelay(std::chrono::milliseconds delay) {
    subMenuDelay_ = delay;
    hoverTimer_.setInterval(delay);
    if (root_)
        for (SMenuEx2Item* item : root_->items())
            if (SMenuEx2* sub = item->subMenu())
                sub->setSubMenuDelay(delay);
}

int SMenuEx2::Track(int x, int y, QWidget* owner) {
    return MenuRun::track(*this, x, y, owner);
}

int SMenuEx2::depth() const {
    return parentItem_ ? parentItem_->menu()->depth() + 1 : 0;
}

QString SMenuEx2::translationContext() const {
    if (parentItem_)
        return parentItem_->menu()->translationContext();
    return root_ ? root_->translationContext() : QString();
}

SMenuEx2Item* SMenuEx2::findItemQuiet(int id) const {
    if (!root_)
        return nullptr;
    for (SMenuEx2Item* item : root_->items()) {
        if (item->className() == QLatin1String("menuItem") && item->id() == id)
            return item;
        if (item->subMenu())
            if (SMenuEx2Item* inner = item->subMenu()->findItemQuiet(id))
                return inner;
    }
    return nullptr;
}

SMenuEx2Item* SMenuEx2::FindItem(int id) const {
    if (SMenuEx2Item* item = findItemQuiet(id))
        return item;
    qCDebug(velorin::lcSoui,
            "FindChildByID2 Failed, no window of class [%s] with id of [%d] was found within [%d] levels",
            "menuItem", id, -1);
    return nullptr;
}

SMenuEx2* SMenuEx2::FindSubMenu(int id) const {
    SMenuEx2Item* item = FindItem(id);
    return item ? item->subMenu() : nullptr;
}

int SMenuEx2::ContextHelpId() const {
    return root_ ? root_->contextHelpId() : 0;
}

void SMenuEx2::SetContextHelpId(int id) {
    if (root_)
        root_->setContextHelpId(id);
}

void SMenuEx2::Place(int x, int y) {
    if (!window_)
        return;
    const QSize size = root_->desiredSize();
    std::vector<QRect> monitors;
    for (const QScreen* screen : QGuiApplication::screens())
        monitors.push_back(screen->geometry());
    PlacementRequest rq;
    rq.point = QPoint(x, y);
    rq.size = size;
    rq.monitor = monitorForPoint(rq.point, monitors);
    rq.subMenu = parentItem_ != nullptr;
    rq.subMenuOffset = root_->subMenuOffset();
    if (parentItem_ && parentItem_->menu()->window())
        rq.parentWidth = parentItem_->menu()->window()->frameGeometry().width();
    const QPoint pos = rq.monitor.isEmpty() ? rq.point : placeMenu(rq);
    window_->setGeometry(QRect(pos, size));
    window_->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        window_->raise();
    if (MenuRun* run = MenuRun::current())
        run->noteShown(this);
}

void SMenuEx2::Hide(bool keepParentSelection) {
    if (!window_ || !window_->isVisible())
        return;
    hoverTimer_.stop();
    hoverItem_ = nullptr;
    if (currentItem_ && currentItem_->subMenu())
        currentItem_->subMenu()->Hide(false);
    window_->hide();
    if (pointerItem_)
        pointerItem_->setUnderPointer(false);
    if (currentItem_) {
        currentItem_->setChecked(false);
        currentItem_ = nullptr;
    }
    if (MenuRun* run = MenuRun::current())
        run->noteHidden(this);
    if (parentItem_ && !keepParentSelection) {
        SMenuEx2* parent = parentItem_->menu();
        if (parent->currentItem_) {
            parent->currentItem_->setChecked(false);
            parent->currentItem_ = nullptr;
        }
    }
}

void SMenuEx2::OpenSubMenu(SMenuEx2Item* item, bool selectFirst) {
    hoverTimer_.stop();
    if (!item || !item->subMenu() || !item->subMenu()->window_ || !window_)
        return;
    SMenuEx2* sub = item->subMenu();
    MenuRun* run = MenuRun::current();
    if (!sub->popupNoticeSent_) {
        const int position = int(root_->items().indexOf(item));
        if (run && run->owner()) {
            InitMenuPopupEvent notice(sub, position);
            QCoreApplication::sendEvent(run->owner(), &notice);
        }
        sub->popupNoticeSent_ = true;
    }
    const QPoint windowTopLeft = window_->mapToGlobal(QPoint(0, 0));
    const int anchorRight = windowTopLeft.x() + window_->width();
    const int anchorTop = item->mapToGlobal(QPoint(0, 0)).y();
    setCurrentItem(item);
    sub->window_->winId();
    window_->winId();
    if (sub->window_->windowHandle() && window_->windowHandle())
        sub->window_->windowHandle()->setTransientParent(window_->windowHandle());
    sub->Place(anchorRight, anchorTop);
    if (selectFirst) {
        const QList<SMenuEx2Item*> items = sub->root_->items();
        const QList<bool> enabled = selectableItems(items);
        const int first = items.isEmpty() ? -1 : enabled[0] ? 0 : nextSelectable(asSpan(enabled), 0, true);
        if (first >= 0)
            sub->setCurrentItem(items[first]);
    }
}

void SMenuEx2::setCurrentItem(SMenuEx2Item* item) {
    if (currentItem_ == item)
        return;
    if (currentItem_)
        currentItem_->setChecked(false);
    currentItem_ = item;
    if (currentItem_) {
        currentItem_->setChecked(true);
        if (QAccessible::isActive()) {
            // The keyboard's place in the menu, for screen readers.
            QAccessibleEvent event(currentItem_, QAccessible::Focus);
            QAccessible::updateAccessibility(&event);
        }
    }
}

void SMenuEx2::closeCurrentSubMenu() {
    if (currentItem_ && currentItem_->subMenu() && currentItem_->subMenu()->window_ &&
        currentItem_->subMenu()->window_->isVisible())
        currentItem_->subMenu()->Hide(false);
}

bool SMenuEx2::onElementEvent(int eventId, QWidget* sender) {
    auto* item = qobject_cast<SMenuEx2Item*>(sender);
    if (!item) {
        MenuRun* run = MenuRun::current();
        if (!run || !run->owner())
            return false;
        MenuNoticeEvent notice(eventId, sender);
        QCoreApplication::sendEvent(run->owner(), &notice);
        return notice.isAccepted();
    }
    switch (eventId) {
    case ui::kEventMouseHover:
        onItemHover(item);
        return true;
    case ui::kEventMouseLeave:
        onItemLeave(item);
        return true;
    case ui::kEventCommand:
        onItemCommand(item);
        return true;
    default:
        return false;
    }
}

void SMenuEx2::notePointerItem(SMenuEx2Item* item) {
    if (pointerItem_ && pointerItem_ != item)
        pointerItem_->setUnderPointer(false);
    pointerItem_ = item;
}

void SMenuEx2::onItemHover(SMenuEx2Item* item) {
    if (item->subMenu()) {
        hoverTimer_.start(subMenuDelay_);
        hoverItem_ = item;
    }
    if (currentItem_ && currentItem_->subMenu())
        currentItem_->subMenu()->Hide(false);
}

void SMenuEx2::onItemLeave(SMenuEx2Item* item) {
    if (pointerItem_ == item)
        pointerItem_ = nullptr;
    if (item->subMenu()) {
        hoverTimer_.stop();
        hoverItem_ = nullptr;
    }
}

void SMenuEx2::onItemCommand(SMenuEx2Item* item) {
    if (!item->isEnabled())
        return;
    if (item->subMenu()) {
        OpenSubMenu(item, false);
        return;
    }
    if (item->id() != 0)
        if (MenuRun* run = MenuRun::current())
            run->requestExit(item->id());
}

bool SMenuEx2::onKey(int qtKey) {
    if (!root_)
        return false;
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (currentItem_)
            onItemCommand(currentItem_);
        return true;
    case Qt::Key_Escape:
    case Qt::Key_Left:
        if (parentItem_)
            Hide(true);
        else if (MenuRun* run = MenuRun::current())
            run->requestExit(0);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        moveSelection(qtKey == Qt::Key_Down);
        return true;
    case Qt::Key_Right:
        if (currentItem_ && currentItem_->subMenu())
            OpenSubMenu(currentItem_, true);
        return true;
    default:
        break;
    }
    const std::optional<QChar> typed = hotKeyCharacter(qtKey);
    if (!typed)
        return false;
    const QList<SMenuEx2Item*> items = root_->items();
    std::vector<QChar> keys;
    for (const SMenuEx2Item* i : items)
        keys.push_back(i->hotKey());
    const int hit = findHotKey(std::span<const QChar>(keys.data(), keys.size()), *typed);
    if (hit >= 0)
        onItemCommand(items[hit]);
    return true;
}

// Up or down to the next selectable item, wrapping; Up with nothing selected picks the last one.
void SMenuEx2::moveSelection(bool down) {
    const QList<SMenuEx2Item*> items = root_->items();
    const int current = currentItem_ ? int(items.indexOf(currentItem_)) : -1;
    const int next = nextSelectable(asSpan(selectableItems(items)), current, down);
    if (currentItem_)
        currentItem_->setChecked(false);
    currentItem_ = nullptr;
    if (next >= 0)
        setCurrentItem(items[next]);
}

} // namespace velorin::keysel
