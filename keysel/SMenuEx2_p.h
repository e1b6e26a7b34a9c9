// Inside the menu family (not for callers): the menu's host window and the modal run.
#pragma once

#include "keysel/SMenuEx2.h"

#include <QPointer>

#include <list>
#include <vector>

class QEventLoop;

namespace velorin::keysel {

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

// One menu run: the menus it has open, its result and the modal loops running for it. There is at most
// one; a Track() started while a run is active shares it, and the run ends with the outermost Track().
class MenuRun {
public:
    // The run in progress, or nullptr.
    static MenuRun* current();
    // Shows `menu` at (x, y) for `owner` and waits for the run's result (SMenuEx2::Track()).
    static int track(SMenuEx2& menu, int x, int y, QWidget* owner);

    // Sets the result and wakes every loop of the run.
    void requestExit(int value);
    bool exitRequested() const { return exitRequested_; }
    QWidget* owner() const { return owner_; }
    // Visible menus, most recently shown first.
    const std::list<SMenuEx2*>& openMenus() const { return openMenus_; }
    void noteShown(SMenuEx2* menu);
    void noteHidden(SMenuEx2* menu) { openMenus_.remove(menu); }
    // Whether `window` is the window of an open menu.
    bool isOpen(const QWidget* window) const;
    // The open menu a window or a widget belongs to.
    SMenuEx2* menuOf(const QObject* obj) const;
    // A press inside an open menu closes the sub-menu of its current item.
    static void pressedInside(SMenuEx2* menu);
    // Quits every loop of the run (the run itself goes on unless its end was requested).
    void wakeLoops();

private:
    // Runs one modal loop until the run must end; returns the mouse input held back meanwhile.
    std::vector<HeldMouseEvent> runLoop(QWidget* owner);

    std::list<SMenuEx2*> openMenus_;
    bool exitRequested_ = false;
    int result_ = -1;
    QPointer<QWidget> owner_;
    std::list<QEventLoop*> loops_;
};

} // namespace velorin::keysel
