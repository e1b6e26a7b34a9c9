// The popup function menu family: SMenuEx2 (a menu window), SMenuEx2Root (the element that lays out the
// items and holds the menu's metrics and skins), SMenuEx2Item and SMenuEx2Sep (its rows), and
// SMenuEx2RunData (the state of one menu run, shared by a menu and its open sub-menus).
//
// A menu is built from an XML description ("menuRoot" with "menuItem" and "sep" children; an item with
// "menuItem" children carries a sub-menu), may receive appended items, and is shown by Track(), which
// runs a modal loop on the UI thread until an item is chosen (its id), the menu is dismissed (0) or the
// run is abandoned (-1). Every other event of the thread is dispatched meanwhile.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "ui/SHostWnd.h"

#include <list>
#include <memory>
#include <pugixml.hpp>
#include <utility>
#include <vector>

class QEventLoop;
class QWindow;

namespace velorin::ui {
class Skin;
} // namespace velorin::ui

namespace velorin::keysel {

class SMenuEx2;
class SMenuEx2Item;

// Toolkit event ids raised by menu elements.
inline constexpr int kMenuEventCommand = 10000;
inline constexpr int kMenuEventHover = 9000;
inline constexpr int kMenuEventLeave = 9001;

// Sent to the owner for every toolkit event of a menu element that is not an item; the owner may set
// `result` and accept the event.
inline constexpr int kMenuNoticeMessage = 11226; // 0x2BDA
class MenuNoticeEvent : public QEvent {
public:
    MenuNoticeEvent(int eventId, QWidget* sender)
        : QEvent(QEvent::Type(kMenuNoticeMessage)), eventId(eventId), sender(sender) {
        setAccepted(false);
    }
    int eventId;
    QWidget* sender;
    qintptr result = 0;
};

// Sent to the owner the first time a sub-menu opens: the sub-menu and its item's position (0-based).
inline constexpr QEvent::Type kInitMenuPopupEvent = QEvent::Type(QEvent::User + 0x0117);
class InitMenuPopupEvent : public QEvent {
public:
    InitMenuPopupEvent(SMenuEx2* subMenu, int position)
        : QEvent(kInitMenuPopupEvent), subMenu(subMenu), position(position) {}
    SMenuEx2* subMenu;
    int position;
};

inline constexpr int kSubMenuTimerId = 100;
inline constexpr int kSubMenuDelayMs = 500;
// The modal loop never waits longer than this without checking whether the run must end.
inline constexpr int kLoopCheckMs = 10;
// "iconPos" y meaning "centred vertically in the item".
inline constexpr int kIconCentered = -1000;

// The state of one menu run. There is one at a time; a Track() started while a run is active shares it.
struct SMenuEx2RunData {
    std::list<SMenuEx2*> openMenus; // visible menus, most recently shown first
    int exitRequested = 0;
    int result = -1;
    QPointer<QWidget> owner;
    int scale = 100;
    std::list<QEventLoop*> loops; // the modal loops running for this run

    // Sets exitRequested and the result and wakes every loop of the run.
    void requestExit(int value);
    bool isOpen(const QWidget* window) const;
};

// A mouse event held back while a dismissed menu closes, delivered to its receiver afterwards.
struct HeldMouseEvent {
    QPointer<QObject> receiver;
    QEvent::Type type;
    QPointF local;
    QPointF scene;
    QPointF global;
    Qt::MouseButton button;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
};

// The run in progress, or nullptr.
SMenuEx2RunData* currentMenuRun();

// The element that holds the items and the menu's metrics and skins; class name "menuRoot" (it also
// answers to "window"). Margins, colours and the font are the toolkit's generic attributes.
class SMenuEx2Root : public ui::SWindow {
    Q_OBJECT
public:
    explicit SMenuEx2Root(SMenuEx2* menu, QWidget* parent);
    QString className() const override { return QStringLiteral("menuRoot"); }

    using ui::SWindow::setAttribute;
    // The menu's own attributes; everything else goes to the generic window attributes. False (and
    // nothing changed) for a value that cannot be used.
    bool setAttribute(const QString& name, const QString& value) override;
    bool setMenuAttribute(const QString& name, const QString& value) { return setAttribute(name, value); }
    // Attributes, then one child element per "menuItem" or "sep"; the root's own text is cleared.
    bool loadFromXml(const pugi::xml_node& node) override;

    SMenuEx2* menu() const { return menu_; }
    QList<SMenuEx2Item*> items() const;
    QSize desiredSize() const override;
    void layoutItems();
    void relayoutChildren() override { layoutItems(); }

    ui::Skin* itemSkin() const { return itemSkin_; }
    ui::Skin* checkSkin() const { return checkSkin_; }
    ui::Skin* sepSkin() const { return sepSkin_; }
    ui::Skin* arrowSkin() const { return arrowSkin_; }
    ui::Skin* iconSkin() const { return iconSkin_; }
    int itemHeight() const { return itemHeight_; }
    QPoint iconPos() const { return iconPos_; }
    int iconBarWidth() const { return iconBarWidth_; }
    int textOffset() const { return textOffset_; }
    int minWidth() const { return minWidth_; }
    int maxWidth() const { return maxWidth_; }
    int subMenuOffset() const { return subMenuOffset_; }
    int contextHelpId() const { return contextHelpId_; }
    void setContextHelpId(int id) { contextHelpId_ = id; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void setUnderPointer(bool over);

    SMenuEx2* menu_;
    bool underPointer_ = false;
    ui::Skin* itemSkin_ = nullptr;
    ui::Skin* checkSkin_ = nullptr;
    ui::Skin* sepSkin_ = nullptr;
    ui::Skin* arrowSkin_ = nullptr;
    ui::Skin* iconSkin_ = nullptr;
    int itemHeight_ = 26;
    QPoint iconPos_{0, 0};
    int iconBarWidth_ = 24;
    int textOffset_ = 0;
    int minWidth_ = 100;
    int maxWidth_ = -1;
    int subMenuOffset_ = 0;
    int contextHelpId_ = 0;
};

// One row of a menu; class name "menuItem" (it also answers to "window"). A click raises the command
// event; the pointer entering and leaving raise the hover and leave events.
class SMenuEx2Item : public ui::SWindow {
    Q_OBJECT
public:
    SMenuEx2Item(SMenuEx2* menu, SMenuEx2Root* root);
    ~SMenuEx2Item() override;
    QString className() const override { return QStringLiteral("menuItem"); }

    using ui::SWindow::setAttribute;
    // "icon", "check", "radio", "hotKey" and "ID" (decimal or "0x" hexadecimal); the rest are generic.
    bool setAttribute(const QString& name, const QString& value) override;
    bool loadFromXml(const pugi::xml_node& node) override;

    SMenuEx2* menu() const { return menu_; }
    SMenuEx2* subMenu() const { return subMenu_.get(); }
    // The caption as shown (translated in the menu's context).
    QString displayText() const;
    QChar hotKey() const { return hotKey_; }
    int icon() const { return icon_; }
    int check() const { return check_; }
    int radio() const { return radio_; }
    bool isUnderPointer() const { return underPointer_; }
    // Marks the item as under the pointer (raising the hover event) or not (raising the leave event).
    void setUnderPointer(bool over);
    QSize desiredSize() const override;
    // The skin state: 2 disabled, 1 selected (checked), pressed or under the pointer, else 0.
    int drawState() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

    SMenuEx2Root* root_;

private:
    SMenuEx2* menu_;
    std::unique_ptr<SMenuEx2> subMenu_;
    int icon_ = -1;
    int check_ = 0;
    int radio_ = 0;
    QChar hotKey_;
    bool underPointer_ = false;
};

// A separator row; class name "sep". Always disabled.
class SMenuEx2Sep : public SMenuEx2Item {
    Q_OBJECT
public:
    SMenuEx2Sep(SMenuEx2* menu, SMenuEx2Root* root);
    QString className() const override { return QStringLiteral("sep"); }
    QSize desiredSize() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The menu's host window: frameless, translucent, topmost, a tool window that never takes activation.
// The toolkit events of its elements reach the menu through onEvent().
class SMenuEx2Window : public ui::SHostWnd {
    Q_OBJECT
public:
    explicit SMenuEx2Window(SMenuEx2* menu);
    SMenuEx2* menu() const { return menu_; }
    bool onEvent(ui::EventArgs& args) override;
    void relayoutChildren() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    SMenuEx2* menu_;
};

class SMenuEx2 {
public:
    // An empty menu without window; a sub-menu is constructed with the item that owns it.
    explicit SMenuEx2(SMenuEx2Item* parentItem = nullptr);
    ~SMenuEx2();
    SMenuEx2(const SMenuEx2&) = delete;
    SMenuEx2& operator=(const SMenuEx2&) = delete;

    // The package's menu description "smenuex:menuex_Fun".
    static constexpr const char* kDescriptionRef = "smenuex:menuex_Fun";
    // Largest description accepted.
    static constexpr qsizetype kMaxDescriptionBytes = 1 << 20;

    // Sub-menus nested deeper than this are left out of a description.
    static constexpr int kMaxDepth = 16;

    bool LoadDescription();
    // Builds the menu from XML text (a "menuRoot" document); used by LoadDescription and tests.
    bool LoadXml(const QByteArray& xml);
    bool CreateFromXml(const pugi::xml_node& element);
    int AppendItem(int id, const QString& text);
    int Track(int x, int y, QWidget* owner);
    void Hide(bool keepParentSelection);
    void OpenSubMenu(SMenuEx2Item* item, bool selectFirst);
    SMenuEx2Item* FindItem(int id) const;
    SMenuEx2* FindSubMenu(int id) const;
    int ContextHelpId() const;
    void SetContextHelpId(int id);

    // Places the menu with its top-left corner at (x, y), kept on the monitor that holds the point,
    // shows it without activating it and puts it at the front of the run's open menus.
    void Place(int x, int y);

    bool hasWindow() const { return window_ != nullptr; }
    SMenuEx2Window* window() const { return window_.get(); }
    SMenuEx2Root* root() const { return root_; }
    SMenuEx2Item* parentItem() const { return parentItem_; }
    // 0 for a top-level menu, 1 for its sub-menus, and so on.
    int depth() const;
    SMenuEx2Item* currentItem() const { return currentItem_; }
    SMenuEx2Item* hoverItem() const { return hoverItem_; }
    bool popupNoticeSent() const { return popupNoticeSent_; }
    bool isSubMenuTimerActive() const { return hoverTimer_.isActive(); }
    QString translationContext() const;

    // Element events, raised by the items and the root.
    bool onElementEvent(int eventId, QWidget* sender);
    // A key that reached the menu window; false when the menu does not handle it.
    bool onKey(int qtKey);
    // The item under the pointer changed to `item`; the one before is left.
    void notePointerItem(SMenuEx2Item* item);
    // A press inside this menu closes the sub-menu of the current item.
    void closeCurrentSubMenu();

private:
    void onItemHover(SMenuEx2Item* item);
    void onItemLeave(SMenuEx2Item* item);
    void onItemCommand(SMenuEx2Item* item);
    void setCurrentItem(SMenuEx2Item* item);
    SMenuEx2Item* findItemQuiet(int id) const;
    std::vector<HeldMouseEvent> runModalLoop(QWidget* owner);

    SMenuEx2Item* parentItem_ = nullptr;
    SMenuEx2Item* hoverItem_ = nullptr;
    SMenuEx2Item* currentItem_ = nullptr;
    SMenuEx2Item* pointerItem_ = nullptr;
    bool popupNoticeSent_ = false;
    std::unique_ptr<SMenuEx2Window> window_;
    SMenuEx2Root* root_ = nullptr;
    QTimer hoverTimer_;
};

} // namespace velorin::keysel
