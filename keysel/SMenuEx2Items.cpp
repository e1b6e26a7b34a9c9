// The menu's elements: the root with the menu's metrics and skins, its items and separators.
#include "keysel/SMenuEx2Items.h"

#include "keysel/MenuLogic.h"
#include "keysel/SMenuEx2.h"
#include "model/Log.h"
#include "ui/AttributeParsers.h"
#include "ui/AttributeTable.h"
#include "ui/Font.h"
#include "ui/LayoutSize.h"
#include "ui/Resources.h"
#include "ui/Skin.h"
#include "ui/Toolkit.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace velorin::keysel {

namespace {

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

std::optional<int> parseSize(const QString& text) {
    const std::optional<ui::LayoutSize> s = ui::LayoutSize::parse(text);
    if (!s)
        return std::nullopt;
    return s->toPixels(100);
}

// A skin by name into a slot; false (slot unchanged) when there is none.
bool skinInto(ui::Skin*& slot, const QString& value) {
    ui::Skin* s = findSkin(value.trimmed());
    if (!s) {
        qCDebug(velorin::lcSoui) << "menu: no skin named" << value;
        return false;
    }
    slot = s;
    return true;
}

bool sizeInto(int& slot, const QString& value) {
    const std::optional<int> v = parseSize(value);
    if (v)
        slot = *v;
    return v.has_value();
}

// "x" (the icon centred vertically) or "x,y", each a layout size.
std::optional<QPoint> parseIconPos(const QString& value) {
    const QStringList parts = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.size() < 1 || parts.size() > 2)
        return std::nullopt;
    const std::optional<int> x = parseSize(parts[0].trimmed());
    const std::optional<int> y =
        parts.size() == 2 ? parseSize(parts[1].trimmed()) : std::optional<int>(kIconCentered);
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

void ensureCjkFaces() {
    static const bool done = [] {
        ui::installCjkFontSubstitutions();
        return true;
    }();
    (void)done;
}

} // namespace

// ---- Root ------------------------------------------------------------------------------------------------

SMenuEx2Root::SMenuEx2Root(SMenuEx2* menu, QWidget* parent) : ui::SWindow(parent), menu_(menu) {
    setObjectName(QStringLiteral("menuRoot"));
    setAccessibleRole(QAccessible::PopupMenu);
    setMouseTracking(true);
    itemSkin_ = findSkin(u"_skin.sys.menu.skin");
    checkSkin_ = findSkin(u"_skin.sys.menu.check");
    sepSkin_ = findSkin(u"_skin.sys.menu.sep");
    arrowSkin_ = findSkin(u"_skin.sys.menu.arrow");
}

bool SMenuEx2Root::setAttribute(const QString& name, const QString& value) {
    using Setter = ui::AttributeSetter<SMenuEx2Root>;
    static constexpr auto kAnyCase = Qt::CaseInsensitive;
    static const Setter table[] = {
        {u"itemSkin",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return skinInto(r.itemSkin_, v); },
         kAnyCase},
        {u"checkSkin",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return skinInto(r.checkSkin_, v); },
         kAnyCase},
        {u"sepSkin",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return skinInto(r.sepSkin_, v); }, kAnyCase},
        {u"arrowSkin",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return skinInto(r.arrowSkin_, v); },
         kAnyCase},
        {u"iconSkin",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return skinInto(r.iconSkin_, v); },
         kAnyCase},
        {u"itemHeight",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return sizeInto(r.itemHeight_, v); },
         kAnyCase},
        {u"iconBarWidth",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return sizeInto(r.iconBarWidth_, v); },
         kAnyCase},
        {u"textOffset",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return sizeInto(r.textOffset_, v); },
         kAnyCase},
        {u"minWidth",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return sizeInto(r.minWidth_, v); },
         kAnyCase},
        {u"maxWidth",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return sizeInto(r.maxWidth_, v); },
         kAnyCase},
        {u"subMenuOffset",
         [](SMenuEx2Root& r, const QString&, const QString& v) { return sizeInto(r.subMenuOffset_, v); },
         kAnyCase},
        {u"iconPos",
         [](SMenuEx2Root& r, const QString&, const QString& v) {
             const std::optional<QPoint> pos = parseIconPos(v);
             if (pos)
                 r.iconPos_ = *pos;
             return pos.has_value();
         },
         kAnyCase},
        {u"contextHelpId",
         [](SMenuEx2Root& r, const QString&, const QString& v) {
             const std::optional<int> id = ui::parseInteger(v);
             if (id)
                 r.contextHelpId_ = *id;
             return id.has_value();
         },
         kAnyCase},
        {u"font",
         [](SMenuEx2Root& r, const QString& n, const QString& v) {
             ensureCjkFaces();
             return r.ui::SWindow::setAttribute(n, v);
         },
         kAnyCase},
        {u"text", [](SMenuEx2Root&, const QString&, const QString&) { return true; },
         kAnyCase}, // no own text
    };
    if (const Setter* setter = ui::findAttributeSetter<SMenuEx2Root>(table, name))
        return setter->apply(*this, name, value);
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
    using Setter = ui::AttributeSetter<SMenuEx2Item>;
    static constexpr auto kAnyCase = Qt::CaseInsensitive;
    static const Setter table[] = {
        {u"ID",
         [](SMenuEx2Item& i, const QString&, const QString& v) {
             return i.setNumber(&SMenuEx2Item::setId, v);
         },
         kAnyCase},
        {u"icon",
         [](SMenuEx2Item& i, const QString&, const QString& v) {
             return i.setNumber(&SMenuEx2Item::icon_, v);
         },
         kAnyCase},
        {u"check",
         [](SMenuEx2Item& i, const QString&, const QString& v) {
             return i.setNumber(&SMenuEx2Item::check_, v);
         },
         kAnyCase},
        {u"radio",
         [](SMenuEx2Item& i, const QString&, const QString& v) {
             return i.setNumber(&SMenuEx2Item::radio_, v);
         },
         kAnyCase},
        {u"hotKey",
         [](SMenuEx2Item& i, const QString&, const QString& v) {
             i.hotKey_ = v.isEmpty() ? QChar() : v.at(0);
             return true;
         },
         kAnyCase},
        {u"text", [](SMenuEx2Item& i, const QString&, const QString& v) { return i.setText(v), true; },
         kAnyCase},
    };
    if (const Setter* setter = ui::findAttributeSetter<SMenuEx2Item>(table, name))
        return setter->apply(*this, name, value);
    return ui::SWindow::setAttribute(name, value);
}

bool SMenuEx2Item::setNumber(int SMenuEx2Item::*member, const QString& value) {
    const std::optional<int> v = ui::parseInteger(value);
    if (!v)
        return false;
    this->*member = *v;
    update();
    return true;
}

bool SMenuEx2Item::setNumber(void (SMenuEx2Item::*setter)(int), const QString& value) {
    const std::optional<int> v = ui::parseInteger(value);
    if (!v)
        return false;
    (this->*setter)(*v);
    update();
    return true;
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

    paintMark(p, r);
    paintArrow(p, r);
}

// The check or radio mark, else the icon, at the root's icon position.
void SMenuEx2Item::paintMark(QPainter& p, const QRect& r) {
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
}

// The sub-menu arrow at the right edge.
void SMenuEx2Item::paintArrow(QPainter& p, const QRect& r) {
    ui::Skin* s = root_->arrowSkin();
    if (!subMenu_ || !s)
        return;
    const QSize sz = s->naturalSize();
    s->draw(
        p,
        QRect(r.right() - sz.width() + 1, r.top() + (r.height() - sz.height()) / 2, sz.width(), sz.height()),
        underPointer_ ? 1 : 0);
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

} // namespace velorin::keysel
