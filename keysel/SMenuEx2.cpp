#include "keysel/SMenuEx2.h"

#include "keysel/MenuLogic.h"
#include "model/Log.h"
#include "ui/Color.h"
#include "ui/Font.h"
#include "ui/LayoutSize.h"
#include "ui/Resources.h"
#include "ui/Skin.h"
#include "ui/Toolkit.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace velorin::keysel {

namespace {

std::weak_ptr<SMenuEx2RunData> g_run;

// When the owner's window was never seen active during a run, the run ends after this long.
constexpr int kActivationGraceMs = 1000;

// The skins the menu draws with: the toolkit's built-in menu skins and the program's skin table.
const ui::SkinPool& menuSkins() {
    static const ui::SkinPool pool = [] {
        ui::SkinPool p;
        const ui::ResourcePackage& pkg = ui::ResourcePackage::embedded();
        // The menu's skins are drawn in code; pictures of other skins are not needed here.
        const auto noImages = [](const QString&) {
            QImage placeholder(1, 1, QImage::Format_ARGB32);
            placeholder.fill(Qt::transparent);
            return placeholder;
        };
        for (const char* ref : {"xml:SYS_XML_SKIN", "values:skin"}) {
            if (const std::optional<QByteArray> bytes = pkg.bytes(QString::fromLatin1(ref)))
                p.loadTable(*bytes, noImages);
            else
                qCWarning(velorin::lcSoui) << "menu skins: resource missing:" << ref;
        }
        return p;
    }();
    return pool;
}

// The live toolkit's skin pool first; the menu's own copy of the package's skins otherwise.
ui::Skin* findSkin(QStringView name) {
    if (const ui::Toolkit* toolkit = ui::Toolkit::instance())
        if (ui::Skin* s = toolkit->skin(name))
            return s;
    return menuSkins().find(name);
}

bool sameName(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// An integer in decimal or with a "0x" prefix in hexadecimal.
std::optional<int> parseInteger(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    int v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toInt(&ok, 16);
    else
        v = t.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

std::optional<int> parseSize(const QString& text) {
    const std::optional<ui::LayoutSize> s = ui::LayoutSize::parse(text);
    if (!s)
        return std::nullopt;
    return s->toPixels(100);
}

void ensureCjkFaces() {
    static const bool done = [] {
        ui::installCjkFontSubstitutions();
        return true;
    }();
    (void)done;
}

} // namespace

// ---- Run data ------------------------------------------------------------------------------------------

void SMenuEx2RunData::requestExit(int value) {
    exitRequested = 1;
    result = value;
    for (QEventLoop* loop : loops)
        loop->quit();
}

bool SMenuEx2RunData::isOpen(const QWidget* window) const {
    return std::any_of(openMenus.begin(), openMenus.end(),
                       [window](const SMenuEx2* m) { return m->window() == window; });
}

SMenuEx2RunData* currentMenuRun() {
    return g_run.lock().get();
}

// ---- Root ------------------------------------------------------------------------------------------------

SMenuEx2Root::SMenuEx2Root(SMenuEx2* menu, QWidget* parent) : ui::SWindow(parent), menu_(menu) {
    setObjectName(QStringLiteral("menuRoot"));
    setMouseTracking(true);
    itemSkin_ = findSkin(u"_skin.sys.menu.skin");
    checkSkin_ = findSkin(u"_skin.sys.menu.check");
    sepSkin_ = findSkin(u"_skin.sys.menu.sep");
    arrowSkin_ = findSkin(u"_skin.sys.menu.arrow");
}

bool SMenuEx2Root::setAttribute(const QString& name, const QString& value) {
    const auto skinAttr = [&](ui::Skin*& into) {
        ui::Skin* s = findSkin(value.trimmed());
        if (!s) {
            qCDebug(velorin::lcSoui) << "menu: no skin named" << value;
            return false;
        }
        into = s;
        return true;
    };
    const auto sizeAttr = [&](int& into) {
        const std::optional<int> v = parseSize(value);
        if (!v)
            return false;
        into = *v;
        return true;
    };
    if (sameName(name, "itemSkin"))
        return skinAttr(itemSkin_);
    if (sameName(name, "checkSkin"))
        return skinAttr(checkSkin_);
    if (sameName(name, "sepSkin"))
        return skinAttr(sepSkin_);
    if (sameName(name, "arrowSkin"))
        return skinAttr(arrowSkin_);
    if (sameName(name, "iconSkin"))
        return skinAttr(iconSkin_);
    if (sameName(name, "itemHeight"))
        return sizeAttr(itemHeight_);
    if (sameName(name, "iconBarWidth"))
        return sizeAttr(iconBarWidth_);
    if (sameName(name, "textOffset"))
        return sizeAttr(textOffset_);
    if (sameName(name, "minWidth"))
        return sizeAttr(minWidth_);
    if (sameName(name, "maxWidth"))
        return sizeAttr(maxWidth_);
    if (sameName(name, "subMenuOffset"))
        return sizeAttr(subMenuOffset_);
    if (sameName(name, "iconPos")) {
        const QStringList parts = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (parts.size() < 1 || parts.size() > 2)
            return false;
        const std::optional<int> x = parseSize(parts[0].trimmed());
        const std::optional<int> y =
            parts.size() == 2 ? parseSize(parts[1].trimmed()) : std::optional<int>(kIconCentered);
        if (!x || !y)
            return false;
        iconPos_ = QPoint(*x, *y);
        return true;
    }
    if (sameName(name, "contextHelpId")) {
        const std::optional<int> v = parseInteger(value);
        if (!v)
            return false;
        contextHelpId_ = *v;
        return true;
    }
    if (sameName(name, "font"))
        ensureCjkFaces();
    if (sameName(name, "text"))
        return true; // the root shows no text of its own
    return ui::SWindow::setAttribute(name, value);
}

bool SMenuEx2Root::loadFromXml(const pugi::xml_node& node) {
    for (const pugi::xml_attribute a : node.attributes()) {
        const QString name = QString::fromUtf8(a.name());
        const QString value = QString::fromUtf8(a.value());
        if (!setAttribute(name, value))
            qCDebug(velorin::lcSoui) << "menu: attribute" << name << "rejected:" << value;
    }
    for (const pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const std::string_view tag = child.name();
        SMenuEx2Item* item = nullptr;
        if (tag == "menuItem")
            item = new SMenuEx2Item(menu_, this);
        else if (tag == "sep")
            item = new SMenuEx2Sep(menu_, this);
        else
            continue;
        item->loadFromXml(child);
    }
    ui::SWindow::setText(QString());
    return true;
}

QList<SMenuEx2Item*> SMenuEx2Root::items() const {
    return findChildren<SMenuEx2Item*>(QString(), Qt::FindDirectChildrenOnly);
}

QSize SMenuEx2Root::desiredSize() const {
    std::vector<QSize> sizes;
    for (const SMenuEx2Item* item : items())
        sizes.push_back(item->desiredSize());
    return menuRootSize(sizes, margin(), maxWidth_, minWidth_);
}

void SMenuEx2Root::layoutItems() {
    const QRect client = clientRect();
    int y = client.top();
    for (SMenuEx2Item* item : items()) {
        const int h = item->isHidden() ? 0 : item->desiredSize().height();
        item->setGeometry(client.left(), y, client.width(), h);
        y += h;
    }
}

void SMenuEx2Root::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setUnderPointer(true);
}

void SMenuEx2Root::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setUnderPointer(false);
}

void SMenuEx2Root::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    setUnderPointer(true);
}

void SMenuEx2Root::setUnderPointer(bool over) {
    if (underPointer_ == over)
        return;
    underPointer_ = over;
    fireEvent(over ? ui::kEventMouseHover : ui::kEventMouseLeave);
}

// ---- Items -----------------------------------------------------------------------------------------------

SMenuEx2Item::SMenuEx2Item(SMenuEx2* menu, SMenuEx2Root* root) : ui::SWindow(root), root_(root), menu_(menu) {
    setObjectName(QStringLiteral("menuItem"));
    setSkin(root->itemSkin());
    setCommandOnClick(true);
    setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMouseTracking(true);
    show();
}

SMenuEx2Item::~SMenuEx2Item() = default;

bool SMenuEx2Item::setAttribute(const QString& name, const QString& value) {
    if (sameName(name, "ID") || sameName(name, "icon") || sameName(name, "check") ||
        sameName(name, "radio")) {
        const std::optional<int> v = parseInteger(value);
        if (!v)
            return false;
        if (sameName(name, "ID"))
            setId(*v);
        else if (sameName(name, "icon"))
            icon_ = *v;
        else if (sameName(name, "check"))
            check_ = *v;
        else
            radio_ = *v;
        update();
        return true;
    }
    if (sameName(name, "hotKey")) {
        hotKey_ = value.isEmpty() ? QChar() : value.at(0);
        return true;
    }
    if (sameName(name, "text")) {
        setText(value);
        return true;
    }
    return ui::SWindow::setAttribute(name, value);
}

bool SMenuEx2Item::loadFromXml(const pugi::xml_node& node) {
    for (const pugi::xml_attribute a : node.attributes())
        setAttribute(QString::fromUtf8(a.name()), QString::fromUtf8(a.value()));
    const QString caption = QString::fromUtf8(node.child_value()).trimmed();
    if (!caption.isEmpty())
        setText(caption);
    if (node.child("menuItem")) {
        if (menu_->depth() >= SMenuEx2::kMaxDepth) {
            qCWarning(velorin::lcSoui)
                << "menu: sub-menus nested deeper than" << SMenuEx2::kMaxDepth << "are ignored";
            return true;
        }
        subMenu_ = std::make_unique<SMenuEx2>(this);
        if (!subMenu_->CreateFromXml(node))
            subMenu_.reset();
    }
    return true;
}

QString SMenuEx2Item::displayText() const {
    const QString ctx = menu_->translationContext();
    if (ctx.isEmpty() || text().isEmpty())
        return text();
    return QCoreApplication::translate(ctx.toUtf8().constData(), text().toUtf8().constData());
}

QSize SMenuEx2Item::desiredSize() const {
    if (isHidden())
        return QSize(0, 0);
    const QFontMetrics fm(font());
    int w = fm.horizontalAdvance(displayText()) + root_->textOffset() + root_->iconBarWidth();
    if (subMenu_ && root_->arrowSkin())
        w += root_->arrowSkin()->naturalSize().width();
    return QSize(std::max(0, w), root_->itemHeight());
}

int SMenuEx2Item::drawState() const {
    if (!isEnabled())
        return 2;
    if (isChecked() || isPushed() || underPointer_)
        return 1;
    return 0;
}

void SMenuEx2Item::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    if (skin())
        skin()->draw(p, r, drawState());

    const int arrowWidth = (subMenu_ && root_->arrowSkin()) ? root_->arrowSkin()->naturalSize().width() : 0;
    const QRect textRect = r.adjusted(root_->textOffset() + root_->iconBarWidth(), 0, -arrowWidth, 0);
    p.setPen(textColor());
    p.setFont(font());
    p.drawText(textRect, int(textAlignment()) | Qt::TextSingleLine, displayText());

    const QPoint iconPos = root_->iconPos();
    const auto markRect = [&](QSize size) {
        const int x = r.left() + iconPos.x();
        const int y =
            iconPos.y() == kIconCentered ? r.top() + (r.height() - size.height()) / 2 : r.top() + iconPos.y();
        return QRect(QPoint(x, y), size);
    };
    if (check_ != 0 || radio_ != 0) {
        if (ui::Skin* s = root_->checkSkin()) {
            const int state = radio_ != 0 ? (check_ != 0 ? 1 : 2) : 0;
            s->draw(p, markRect(s->naturalSize()), state);
        }
    } else if (ui::Skin* s = root_->iconSkin(); s && icon_ >= 0) {
        s->draw(p, markRect(s->naturalSize()), icon_);
    }
    if (subMenu_ && root_->arrowSkin()) {
        ui::Skin* s = root_->arrowSkin();
        const QSize sz = s->naturalSize();
        s->draw(p,
                QRect(r.right() - sz.width() + 1, r.top() + (r.height() - sz.height()) / 2, sz.width(),
                      sz.height()),
                underPointer_ ? 1 : 0);
    }
}

// The pointer is over an item when Qt says it entered or when it moves over it (a move is the more
// reliable of the two when windows overlap or appear under the pointer).
void SMenuEx2Item::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setUnderPointer(true);
}

void SMenuEx2Item::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setUnderPointer(false);
}

void SMenuEx2Item::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (rect().contains(event->position().toPoint()))
        setUnderPointer(true);
}

void SMenuEx2Item::setUnderPointer(bool over) {
    if (underPointer_ == over)
        return;
    if (over)
        menu_->notePointerItem(this);
    underPointer_ = over;
    update();
    fireEvent(over ? ui::kEventMouseHover : ui::kEventMouseLeave);
}

SMenuEx2Sep::SMenuEx2Sep(SMenuEx2* menu, SMenuEx2Root* root) : SMenuEx2Item(menu, root) {
    setObjectName(QStringLiteral("sep"));
    setSkin(root->sepSkin());
    setCommandOnClick(false);
    setEnabled(false);
}

QSize SMenuEx2Sep::desiredSize() const {
    if (isHidden())
        return QSize(0, 0);
    int h = 0;
    if (skin())
        h = std::max(1, skin()->naturalSize().height());
    return QSize(10000, h + margin().top() + margin().bottom());
}

void SMenuEx2Sep::paintEvent(QPaintEvent*) {
    if (!skin())
        return;
    QPainter p(this);
    skin()->draw(p, rect(), 0);
}

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

// ---- Tracking filter --------------------------------------------------------------------------------------

namespace {

// Watches every event of the application while a menu loop runs: keys go to the most recent menu, a
// left or right press outside every open menu ends the run and is held back, together with the mouse
// input that follows it, until the menus are gone.
class MenuTracker : public QObject {
public:
    explicit MenuTracker(SMenuEx2RunData* run) : run_(run) {}

    bool quitting = false;
    std::vector<HeldMouseEvent> held;

    // The open menu a window or a widget belongs to.
    SMenuEx2* menuOf(const QObject* obj) const {
        const QObject* top = obj;
        if (obj->isWidgetType())
            top = static_cast<const QWidget*>(obj)->window();
        for (SMenuEx2* m : run_->openMenus)
            if (m->window() && (top == m->window()->windowHandle() || top == m->window()))
                return m;
        return nullptr;
    }

    bool eventFilter(QObject* obj, QEvent* e) override {
        switch (e->type()) {
        case QEvent::Quit:
            quitting = true;
            for (QEventLoop* loop : run_->loops)
                loop->quit();
            break;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod: {
            if (run_->openMenus.empty() || !(obj->isWidgetType() || obj->isWindowType()))
                break;
            QWidget* target = run_->openMenus.front()->window();
            if (!target || obj == target || obj == target->windowHandle())
                break;
            if (e->type() == QEvent::ShortcutOverride) {
                e->accept(); // no shortcut of the owner fires while the menu has the keys
                return true;
            }
            if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
                const auto* ke = static_cast<QKeyEvent*>(e);
                QKeyEvent copy(ke->type(), ke->key(), ke->modifiers(), ke->text(), ke->isAutoRepeat(),
                               ushort(ke->count()));
                QCoreApplication::sendEvent(target, &copy);
            }
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick: {
            // Seen first at the window, then (when let through) at the widget under the pointer.
            if (!obj->isWindowType() && !obj->isWidgetType())
                break;
            if (holding_) {
                hold(obj, e);
                return true;
            }
            if (SMenuEx2* m = menuOf(obj)) {
                m->closeCurrentSubMenu();
                break;
            }
            const Qt::MouseButton b = static_cast<QMouseEvent*>(e)->button();
            if (b == Qt::LeftButton || b == Qt::RightButton) {
                run_->requestExit(0);
                holding_ = true;
                hold(obj, e);
                return true;
            }
            break; // the middle button gets no special treatment
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
            if (holding_ && (obj->isWindowType() || obj->isWidgetType()) && !menuOf(obj)) {
                hold(obj, e);
                return true;
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Keeps a copy of a mouse event made from its values (event points are shared between copies and
    // change as the original is delivered). Wheel turns after the dismissing click are dropped.
    void hold(QObject* receiver, QEvent* e) {
        constexpr std::size_t kMaxHeld = 256;
        if (held.size() >= kMaxHeld || e->type() == QEvent::Wheel)
            return;
        const auto* me = static_cast<const QMouseEvent*>(e);
        held.push_back(HeldMouseEvent{receiver, me->type(), me->position(), me->scenePosition(),
                                      me->globalPosition(), me->button(), me->buttons(), me->modifiers()});
    }

    SMenuEx2RunData* run_;
    bool holding_ = false;
};

} // namespace

// ---- Menu ------------------------------------------------------------------------------------------------

SMenuEx2::SMenuEx2(SMenuEx2Item* parentItem) : parentItem_(parentItem) {
    hoverTimer_.setSingleShot(true);
    hoverTimer_.setTimerType(Qt::PreciseTimer);
    hoverTimer_.setInterval(kSubMenuDelayMs);
    QObject::connect(&hoverTimer_, &QTimer::timeout, &hoverTimer_, [this] {
        if (hoverItem_)
            OpenSubMenu(hoverItem_, false);
    });
}

SMenuEx2::~SMenuEx2() {
    hoverTimer_.stop();
    if (SMenuEx2RunData* run = currentMenuRun())
        run->openMenus.remove(this);
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
    const QSize size = root_->desiredSize();
    window_->resize(size);
    root_->setGeometry(0, 0, size.width(), size.height());
    root_->layoutItems();
    return true;
}

int SMenuEx2::AppendItem(int id, const QString& text) {
    if (!root_)
        return 0;
    auto* item = new SMenuEx2Item(this, root_);
    item->setText(text);
    item->setAttribute(QStringLiteral("ID"), QString::number(id));
    const QSize size = root_->desiredSize();
    window_->resize(size);
    root_->setGeometry(0, 0, size.width(), size.height());
    root_->layoutItems();
    return 0;
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
    if (SMenuEx2RunData* run = currentMenuRun()) {
        run->openMenus.remove(this);
        run->openMenus.push_front(this);
    }
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
    if (SMenuEx2RunData* run = currentMenuRun())
        run->openMenus.remove(this);
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
    SMenuEx2RunData* run = currentMenuRun();
    if (!sub->popupNoticeSent_) {
        const int position = int(root_->items().indexOf(item));
        if (run && run->owner) {
            InitMenuPopupEvent notice(sub, position);
            QCoreApplication::sendEvent(run->owner, &notice);
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
        QList<bool> enabled;
        for (const SMenuEx2Item* i : items)
            enabled.push_back(i->isEnabled() && !i->isHidden());
        int first = -1;
        if (!items.isEmpty())
            first =
                enabled[0]
                    ? 0
                    : nextSelectable(std::span<const bool>(enabled.constData(), std::size_t(enabled.size())),
                                     0, true);
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
    if (currentItem_)
        currentItem_->setChecked(true);
}

void SMenuEx2::closeCurrentSubMenu() {
    if (currentItem_ && currentItem_->subMenu() && currentItem_->subMenu()->window_ &&
        currentItem_->subMenu()->window_->isVisible())
        currentItem_->subMenu()->Hide(false);
}

bool SMenuEx2::onElementEvent(int eventId, QWidget* sender) {
    auto* item = qobject_cast<SMenuEx2Item*>(sender);
    if (!item) {
        SMenuEx2RunData* run = currentMenuRun();
        if (!run || !run->owner)
            return false;
        MenuNoticeEvent notice(eventId, sender);
        QCoreApplication::sendEvent(run->owner, &notice);
        return notice.isAccepted();
    }
    switch (eventId) {
    case kMenuEventHover:
        onItemHover(item);
        return true;
    case kMenuEventLeave:
        onItemLeave(item);
        return true;
    case kMenuEventCommand:
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
        hoverTimer_.start(kSubMenuDelayMs);
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
        if (SMenuEx2RunData* run = currentMenuRun())
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
        else if (SMenuEx2RunData* run = currentMenuRun())
            run->requestExit(0);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const QList<SMenuEx2Item*> items = root_->items();
        QList<bool> enabled;
        for (const SMenuEx2Item* i : items)
            enabled.push_back(i->isEnabled() && !i->isHidden());
        const int current = currentItem_ ? int(items.indexOf(currentItem_)) : -1;
        const int next =
            nextSelectable(std::span<const bool>(enabled.constData(), std::size_t(enabled.size())), current,
                           qtKey == Qt::Key_Down);
        if (currentItem_)
            currentItem_->setChecked(false);
        currentItem_ = nullptr;
        if (next >= 0)
            setCurrentItem(items[next]);
        return true;
    }
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

int SMenuEx2::Track(int x, int y, QWidget* owner) {
    if (!window_)
        return -1;
    std::shared_ptr<SMenuEx2RunData> run = g_run.lock();
    if (!run) {
        run = std::make_shared<SMenuEx2RunData>();
        run->owner = owner;
        run->scale = 100;
        g_run = run;
    }
    QPointer<QWidget> moveTarget = owner ? owner : QApplication::activeWindow();
    if (owner) {
        QWidget* top = owner->window();
        window_->winId();
        top->winId();
        if (window_->windowHandle() && top->windowHandle())
            window_->windowHandle()->setTransientParent(top->windowHandle());
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            top->raise();
        top->activateWindow();
    }
    Place(x, y);
    std::vector<HeldMouseEvent> held = runModalLoop(owner);
    Hide(false);
    // The click that dismissed the menu and the mouse input after it reach their windows once the caller
    // has got the result and returned to the event loop; then the window under the pointer learns where
    // the pointer is. Each event is built just before it is delivered: event points of one device are
    // shared between events that exist at the same time.
    if (!held.empty() || moveTarget) {
        QMetaObject::invokeMethod(
            qApp,
            [held = std::make_shared<std::vector<HeldMouseEvent>>(std::move(held)), moveTarget] {
                for (const HeldMouseEvent& h : *held) {
                    if (!h.receiver)
                        continue;
                    QMouseEvent e(h.type, h.local, h.scene, h.global, h.button, h.buttons, h.modifiers);
                    QCoreApplication::sendEvent(h.receiver, &e);
                }
                if (moveTarget && moveTarget->window()->windowHandle()) {
                    QWidget* top = moveTarget->window();
                    const QPointF global = QCursor::pos();
                    const QPointF local = top->mapFromGlobal(global);
                    QMouseEvent move(QEvent::MouseMove, local, local, global, Qt::NoButton, Qt::NoButton,
                                     QGuiApplication::keyboardModifiers());
                    QCoreApplication::sendEvent(top->windowHandle(), &move);
                }
            },
            Qt::QueuedConnection);
    }
    const int result = run->result;
    run.reset();
    return result;
}

std::vector<HeldMouseEvent> SMenuEx2::runModalLoop(QWidget* owner) {
    SMenuEx2RunData* run = currentMenuRun();
    QPointer<QWidget> top = owner ? owner->window() : nullptr;
    MenuTracker tracker(run);
    qApp->installEventFilter(&tracker);
    QEventLoop loop;
    run->loops.push_back(&loop);
    bool seenActive = false;
    QElapsedTimer since;
    since.start();
    const auto mustStop = [&] {
        if (run->exitRequested || tracker.quitting || QCoreApplication::closingDown())
            return true;
        if (owner || top) {
            if (!top)
                return true; // the owner went away
            QWidget* active = QApplication::activeWindow();
            if (active == top || (active && run->isOpen(active)))
                seenActive = true;
            else if (seenActive || since.elapsed() > kActivationGraceMs)
                return true;
        }
        return false;
    };
    QTimer tick;
    tick.setInterval(kLoopCheckMs);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (mustStop())
            loop.quit();
    });
    if (!mustStop()) {
        tick.start();
        loop.exec();
    }
    tick.stop();
    run->loops.remove(&loop);
    qApp->removeEventFilter(&tracker);
    return std::move(tracker.held);
}

} // namespace velorin::keysel
