// The popup function menu: SMenuEx2 is one menu window with its rows (keysel/SMenuEx2Items.h). A menu is
// built from an XML description ("menuRoot" with "menuItem" and "sep" children; an item with "menuItem"
// children carries a sub-menu), may receive appended items, and is shown by Track(), which runs a modal
// loop on the UI thread until an item is chosen (its id), the menu is dismissed (0) or the run is
// abandoned (-1): the owner's window lost activation or went away. Every other event of the thread is
// dispatched meanwhile; the loop itself sleeps until something happens.
//
// The owner passed to Track() receives two notices: MenuNoticeEvent for every toolkit event
// (ui::kEventCommand, ui::kEventMouseHover, ui::kEventMouseLeave) of a menu element that is not an
// item, and InitMenuPopupEvent the first time each sub-menu opens.
#pragma once

#include <QEvent>
#include <QTimer>

#include "ui/SHostWnd.h"

#include <chrono>
#include <memory>
#include <pugixml.hpp>

namespace velorin::keysel {

class SMenuEx2;
class SMenuEx2Item;
class SMenuEx2Root;
class SMenuEx2Window;
class MenuRun;

inline constexpr int kMenuNoticeMessage = 11226; // 0x2BDA
// The owner may set `result` and accept the event.
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

// The sub-menu and its item's position (0-based).
inline constexpr QEvent::Type kInitMenuPopupEvent = QEvent::Type(QEvent::User + 0x0117);
class InitMenuPopupEvent : public QEvent {
public:
    InitMenuPopupEvent(SMenuEx2* subMenu, int position)
        : QEvent(kInitMenuPopupEvent), subMenu(subMenu), position(position) {}
    SMenuEx2* subMenu;
    int position;
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
    // How long the pointer rests on an item before its sub-menu opens.
    static constexpr std::chrono::milliseconds kDefaultSubMenuDelay{500};

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
    ui::SHostWnd* window() const;
    SMenuEx2Root* root() const { return root_; }
    SMenuEx2Item* parentItem() const { return parentItem_; }
    // 0 for a top-level menu, 1 for its sub-menus, and so on.
    int depth() const;
    SMenuEx2Item* currentItem() const { return currentItem_; }
    QString translationContext() const;

    // The sub-menu delay of this menu and of every sub-menu it holds now.
    void setSubMenuDelay(std::chrono::milliseconds delay);
    std::chrono::milliseconds subMenuDelay() const { return subMenuDelay_; }
    bool isSubMenuTimerActive() const { return hoverTimer_.isActive(); }

private:
    friend class SMenuEx2Item;
    friend class SMenuEx2Window;
    friend class MenuRun;

    // Element events, raised by the items and the root.
    bool onElementEvent(int eventId, QWidget* sender);
    // A key that reached the menu window; false when the menu does not handle it.
    bool onKey(int qtKey);
    // The item under the pointer changed to `item`; the one before is left.
    void notePointerItem(SMenuEx2Item* item);
    // A press inside this menu closes the sub-menu of the current item.
    void closeCurrentSubMenu();
    void onItemHover(SMenuEx2Item* item);
    void onItemLeave(SMenuEx2Item* item);
    void onItemCommand(SMenuEx2Item* item);
    void moveSelection(bool down);
    void setCurrentItem(SMenuEx2Item* item);
    void resizeToItems();
    SMenuEx2Item* findItemQuiet(int id) const;

    SMenuEx2Item* parentItem_ = nullptr;
    SMenuEx2Item* hoverItem_ = nullptr;
    SMenuEx2Item* currentItem_ = nullptr;
    SMenuEx2Item* pointerItem_ = nullptr;
    bool popupNoticeSent_ = false;
    std::unique_ptr<SMenuEx2Window> window_;
    SMenuEx2Root* root_ = nullptr;
    std::chrono::milliseconds subMenuDelay_ = kDefaultSubMenuDelay;
    QTimer hoverTimer_;
};

// The run in progress, for tests and automation. There is at most one run; a Track() started while a run
// is active shares it.
bool menuRunActive();
// The run has its result and its loops are ending.
bool menuRunEnding();
// The most recently shown menu of the run that is still open, or nullptr.
SMenuEx2* frontOpenMenu();
// Ends the run in progress with `result`; nothing without a run.
void endMenuRun(int result);

} // namespace velorin::keysel
