// CMainDlg's keyboard access: which elements the keyboard reaches and in what order, the window's
// own keys (Ctrl+1 ..., Ctrl+O, Ctrl+S, Ctrl+Return, Ctrl+Q, Left and Right among the console
// buttons), and the focus that follows a pad press once the keyboard has moved it.
#include "app/MainDlg.h"

#include "app/MainDlgParts.h"
#include "device/AdapterSession.h"
#include "keysel/SMenuEx2.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>

#include <chrono>

namespace velorin::app {

using namespace mainwnd;

namespace {

uint64_t milliseconds(std::chrono::steady_clock::time_point t) {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count());
}

} // namespace

QList<ui::SWindow*> CMainDlg::elements(std::initializer_list<const char16_t*> names) const {
    QList<ui::SWindow*> found;
    for (const char16_t* name : names)
        if (ui::SWindow* w = findChildByName(QStringView(name)))
            found << w;
    return found;
}

QList<ui::SWindow*> CMainDlg::consoleButtons() const {
    QList<ui::SWindow*> found;
    for (const ConsoleId console : kBlockOrder)
        if (ui::SWindow* w = findChildByName(tabButtonOf(console)))
            found << w;
    return found;
}

void CMainDlg::prepareKeyboardAccess() {
    for (ui::SWindow* w : consoleButtons()) {
        w->setFocusPolicy(Qt::TabFocus);
        w->setAccessibleRole(QAccessible::PageTab);
    }
    for (ui::SWindow* w : elements(kCommandButtons))
        w->setFocusPolicy(Qt::TabFocus);
    // The caption buttons show a picture only.
    if (ui::SWindow* w = findChildByName(u"btn_min"))
        w->setAccessibleName(QCoreApplication::translate("CMainDlg", "最小化"));
    if (ui::SWindow* w = findChildByName(u"btn_close"))
        w->setAccessibleName(QCoreApplication::translate("CMainDlg", "关闭"));
}

QList<ui::SWindow*> CMainDlg::focusChain() const {
    QList<ui::SWindow*> chain = consoleButtons();
    chain << const_cast<CMainDlg*>(this)->handler(session_->selectedConsole().load()).boxesInFocusOrder();
    chain << elements(kCommandButtons);
    return chain;
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (mods == Qt::ControlModifier) {
        // Ctrl+1 ... selects the consoles in block order, as their buttons stand.
        if (key >= Qt::Key_1 && key < Qt::Key_1 + int(kConsoleCount)) {
            SelectConsole(kBlockOrder[std::size_t(key - Qt::Key_1)]);
            return;
        }
        switch (key) {
        case Qt::Key_O:
            files_.load(this);
            return;
        case Qt::Key_S:
            files_.save(this);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ApplyToAdapter();
            return;
        case Qt::Key_Q:
            CloseMain();
            return;
        default:
            break;
        }
    }
    if (mods == Qt::NoModifier && (key == Qt::Key_Left || key == Qt::Key_Right)) {
        const QList<ui::SWindow*> consoles = consoleButtons();
        const qsizetype at = consoles.indexOf(qobject_cast<ui::SWindow*>(focusWidget()));
        if (at >= 0) {
            const qsizetype n = consoles.size();
            focusFromKeyboard(consoles[(at + (key == Qt::Key_Right ? 1 : n - 1)) % n]);
            return;
        }
    }
    ui::SHostWnd::keyPressEvent(event);
}

void CMainDlg::followPadPress() {
    const ConsoleId console = session_->selectedConsole().load();
    // Only the user at this window moves its focus, and only once they use the keyboard (as the
    // outline shows): not for a mouse user, not behind a menu, a dialog or another window.
    const bool quiet = closed_ || !focusOutlineShown() || !isActiveWindow() || keysel::menuRunActive() ||
                       QApplication::activeModalWidget() != nullptr ||
                       QApplication::activePopupWidget() != nullptr;
    const std::optional<PadButton> press = padPresses_.onState(
        session_->joyData().get(), console, milliseconds(std::chrono::steady_clock::now()), quiet);
    if (!press)
        return;
    ui::SWindow* box = handler(console).box(*press);
    if (box && box->isVisible())
        focusFromKeyboard(box);
}

} // namespace velorin::app
