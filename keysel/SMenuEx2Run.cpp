// The modal run of a menu: one run at a time, its loops, the filter that steers the application's input
// while menus are open, and the watch that ends the run when its owner loses activation or goes away.
// Nothing here polls: a loop sleeps until an event, a signal or the one-shot activation grace wakes it.
#include "keysel/SMenuEx2_p.h"

#include "keysel/SMenuEx2Items.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <optional>

namespace velorin::keysel {

namespace {

MenuRun* g_run = nullptr;

// When the owner's window was never seen active during a run, the run ends after this long.
constexpr int kActivationGraceMs = 1000;

// Watches every event of the application while a menu loop runs: keys go to the most recent menu, a
// left or right press outside every open menu ends the run and is held back, together with the mouse
// input that follows it, until the menus are gone. Activation changes are reported to `onActivation`.
class MenuTracker : public QObject {
public:
    MenuTracker(MenuRun& run, std::function<void()> onActivation)
        : run_(run), onActivation_(std::move(onActivation)) {}

    bool quitting = false;
    std::vector<HeldMouseEvent> held;

    bool eventFilter(QObject* obj, QEvent* e) override {
        switch (e->type()) {
        case QEvent::Quit:
            quitting = true;
            run_.wakeLoops();
            return false;
        case QEvent::ApplicationStateChange:
        case QEvent::ActivationChange:
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            onActivation_();
            return false;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::InputMethod:
            return routeKey(obj, e);
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick:
            return press(obj, e);
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
            if (holding_ && (obj->isWindowType() || obj->isWidgetType()) && !run_.menuOf(obj)) {
                hold(obj, e);
                return true;
            }
            return false;
        default:
            return false;
        }
    }

private:
    // Keyboard input anywhere goes to the most recently shown menu.
    bool routeKey(QObject* obj, QEvent* e) {
        if (run_.openMenus().empty() || !(obj->isWidgetType() || obj->isWindowType()))
            return false;
        QWidget* target = run_.openMenus().front()->window();
        if (!target || obj == target || obj == target->windowHandle())
            return false;
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

    // Seen first at the window, then (when let through) at the widget under the pointer.
    bool press(QObject* obj, QEvent* e) {
        if (!obj->isWindowType() && !obj->isWidgetType())
            return false;
        if (holding_) {
            hold(obj, e);
            return true;
        }
        if (SMenuEx2* m = run_.menuOf(obj)) {
            MenuRun::pressedInside(m);
            return false;
        }
        const Qt::MouseButton b = static_cast<QMouseEvent*>(e)->button();
        if (b == Qt::LeftButton || b == Qt::RightButton) {
            run_.requestExit(0);
            holding_ = true;
            hold(obj, e);
            return true;
        }
        return false; // the middle button gets no special treatment
    }

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

    MenuRun& run_;
    std::function<void()> onActivation_;
    bool holding_ = false;
};

// Whether a loop's owner still holds the run: its window exists and is active (or an open menu is),
// once it has been seen active. An owner never seen active loses the run after the grace period.
// Checked when activation changes and when the grace period ends; the owner's destruction ends the
// loop at once.
class OwnerWatch : public QObject {
public:
    OwnerWatch(MenuRun& run, QWidget* owner, QEventLoop& loop)
        : run_(run), watching_(owner != nullptr), top_(owner ? owner->window() : nullptr), loop_(loop) {
        if (!watching_)
            return;
        if (top_)
            connect(top_, &QObject::destroyed, this, [this] {
                ownerGone_ = true;
                loop_.quit();
            });
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &OwnerWatch::recheckSoon);
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &OwnerWatch::recheckSoon);
        grace_.setSingleShot(true);
        connect(&grace_, &QTimer::timeout, this, [this] {
            graceOver_ = true;
            recheck();
        });
        grace_.start(kActivationGraceMs);
    }

    bool ownerLost() {
        if (!watching_)
            return false;
        if (ownerGone_ || !top_)
            return true;
        QWidget* active = QApplication::activeWindow();
        if (active == top_ || (active && run_.isOpen(active))) {
            seenActive_ = true;
            grace_.stop();
            return false;
        }
        return seenActive_ || graceOver_;
    }

    // Once the activation change has settled: several signals and events come for one change.
    void recheckSoon() {
        if (recheckPending_)
            return;
        recheckPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                recheckPending_ = false;
                recheck();
            },
            Qt::QueuedConnection);
    }

private:
    void recheck() {
        if (ownerLost())
            loop_.quit();
    }

    MenuRun& run_;
    const bool watching_;
    QPointer<QWidget> top_;
    QEventLoop& loop_;
    QTimer grace_;
    bool seenActive_ = false;
    bool graceOver_ = false;
    bool ownerGone_ = false;
    bool recheckPending_ = false;
};

// The window that gets a mouse move after the run, so it learns where the pointer is.
void deliverHeldLater(std::vector<HeldMouseEvent> held, QPointer<QWidget> moveTarget) {
    if (held.empty() && !moveTarget)
        return;
    // Each event is built just before it is delivered: event points of one device are shared between
    // events that exist at the same time.
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

// The menu's window becomes a transient of the owner's, and the owner's window comes to the front.
void attachToOwner(QWidget* menuWindow, QWidget* owner) {
    QWidget* top = owner->window();
    menuWindow->winId();
    top->winId();
    if (menuWindow->windowHandle() && top->windowHandle())
        menuWindow->windowHandle()->setTransientParent(top->windowHandle());
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        top->raise();
    top->activateWindow();
}

} // namespace

MenuRun* MenuRun::current() {
    return g_run;
}

void MenuRun::requestExit(int value) {
    exitRequested_ = true;
    result_ = value;
    wakeLoops();
}

void MenuRun::wakeLoops() {
    for (QEventLoop* loop : loops_)
        loop->quit();
}

void MenuRun::pressedInside(SMenuEx2* menu) {
    menu->closeCurrentSubMenu();
}

void MenuRun::noteShown(SMenuEx2* menu) {
    openMenus_.remove(menu);
    openMenus_.push_front(menu);
}

bool MenuRun::isOpen(const QWidget* window) const {
    return std::any_of(openMenus_.begin(), openMenus_.end(),
                       [window](const SMenuEx2* m) { return m->window() == window; });
}

SMenuEx2* MenuRun::menuOf(const QObject* obj) const {
    const QObject* top = obj;
    if (obj->isWidgetType())
        top = static_cast<const QWidget*>(obj)->window();
    for (SMenuEx2* m : openMenus_)
        if (m->window() && (top == m->window()->windowHandle() || top == m->window()))
            return m;
    return nullptr;
}

int MenuRun::track(SMenuEx2& menu, int x, int y, QWidget* owner) {
    if (!menu.hasWindow())
        return -1;
    std::optional<MenuRun> own; // the run, unless this Track() joins one in progress
    if (!g_run) {
        own.emplace();
        own->owner_ = owner;
        g_run = &*own;
    }
    MenuRun& run = *g_run;
    const auto endRun = qScopeGuard([&own] {
        if (own)
            g_run = nullptr;
    });
    QPointer<QWidget> moveTarget = owner ? owner : QApplication::activeWindow();
    if (owner)
        attachToOwner(menu.window(), owner);
    menu.Place(x, y);
    std::vector<HeldMouseEvent> held = run.runLoop(owner);
    menu.Hide(false);
    // The click that dismissed the menu and the mouse input after it reach their windows once the caller
    // has got the result and returned to the event loop.
    deliverHeldLater(std::move(held), moveTarget);
    return run.result_;
}

std::vector<HeldMouseEvent> MenuRun::runLoop(QWidget* owner) {
    QEventLoop loop;
    OwnerWatch watch(*this, owner, loop);
    MenuTracker tracker(*this, [&watch] { watch.recheckSoon(); });
    qApp->installEventFilter(&tracker);
    loops_.push_back(&loop);
    const bool endedAlready =
        exitRequested_ || tracker.quitting || QCoreApplication::closingDown() || watch.ownerLost();
    if (!endedAlready)
        loop.exec();
    loops_.remove(&loop);
    qApp->removeEventFilter(&tracker);
    return std::move(tracker.held);
}

// ---- The run seen from outside ---------------------------------------------------------------------------

bool menuRunActive() {
    return MenuRun::current() != nullptr;
}

bool menuRunEnding() {
    const MenuRun* run = MenuRun::current();
    return run && run->exitRequested();
}

SMenuEx2* frontOpenMenu() {
    const MenuRun* run = MenuRun::current();
    return run && !run->openMenus().empty() ? run->openMenus().front() : nullptr;
}

void endMenuRun(int result) {
    if (MenuRun* run = MenuRun::current())
        run->requestExit(result);
}

} // namespace velorin::keysel
