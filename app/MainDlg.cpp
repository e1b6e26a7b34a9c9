#include "app/MainDlg.h"

#include "app/SingleInstance.h"
#include "app/UnappliedMark.h"
#include "core/ConsoleCopy.h"
#include "device/Discovery.h"
#include "device/HidInputWnd.h"
#include "device/Messages.h"
#include "device/Reports.h"
#include "device/Sequences.h"
#include "device/SharedState.h"
#include "keysel/SMenuEx2.h"
#include "model/DisplayTexts.h"
#include "model/Log.h"
#include "model/Paths.h"
#include "ui/Elements.h"
#include "ui/ImageDecoder.h"
#include "ui/Toolkit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>

#include <exception>

namespace velorin::app {

namespace {

constexpr const char kColorSelected[] = "#ffffffff";
constexpr const char kColorUnselected[] = "#adadadff";

struct TabButton {
    const char* name;
    uint8_t id;
    ConsoleId console;
};
// The tab buttons in the order the selection walks them.
constexpr TabButton kTabButtons[] = {{"btn_ps3", 1, ConsoleId::PS3},
                                     {"btn_ps4", 2, ConsoleId::PS4},
                                     {"btn_xbox", 3, ConsoleId::XBOX},
                                     {"btn_switch", 4, ConsoleId::SWITCH}};

// The console buttons as they stand in the window, left to right, and the command buttons.
constexpr std::initializer_list<const char16_t*> kConsoleButtons = {u"btn_ps3", u"btn_ps4", u"btn_switch",
                                                                    u"btn_xbox"};
constexpr std::initializer_list<const char16_t*> kCommandButtons = {u"btn_loadcfg", u"btn_savecfg",
                                                                    u"btn_default", u"btn_Applay"};

QString pageTitleFor(uint8_t id) {
    switch (id) {
    case 2:
        return QStringLiteral("ps4page");
    case 3:
        return QStringLiteral("xboxpage");
    case 4:
        return QStringLiteral("switchpage");
    default:
        return QStringLiteral("ps3page");
    }
}

} // namespace

WorkModeBlock& workModeBlock() {
    static WorkModeBlock block;
    return block;
}

void guardedShowKeystatus(const std::function<void()>& call, const char* text, int line) {
    try {
        call();
    } catch (...) {
        logAt(LogLevel::Error, "MainDlg", line, "CMainDlg::OnWMUpdateJoydate", QString::fromLatin1(text));
    }
}

CMainDlg::CMainDlg(WorkModeBlock& block, FileChooser& chooser, MessageBoxes& boxes, SingleInstance* instance)
    : ui::SHostWnd(QStringLiteral("LAYOUT:XML_MAINWND")), block_(block), boxes_(boxes), instance_(instance),
      files_(block, chooser, boxes,
             [this] {
                 showAll();
                 history_.commit(); // a file loaded, the default restored
             }),
      m_PS3Handler(block), m_PS4Handler(block), m_SwtichHandler(block), m_XBOXHandler(block),
      history_(block, [this] { showAll(); }) {
    connect(&history_, &EditHistory::changed, this, &CMainDlg::refreshUnappliedMark);
}

CMainDlg::~CMainDlg() {
    stopListener();
    if (instance_)
        instance_->removeMarker();
}

CConsoleHandler& CMainDlg::handler(ConsoleId console) {
    switch (console) {
    case ConsoleId::PS3:
        return m_PS3Handler;
    case ConsoleId::PS4:
        return m_PS4Handler;
    case ConsoleId::SWITCH:
        return m_SwtichHandler;
    case ConsoleId::XBOX:
        break;
    }
    return m_XBOXHandler;
}

bool CMainDlg::stopListener() {
    return listener_ ? listener_->stopReader() : true;
}

void CMainDlg::OnInitDialog() {
    // 1. The instance marker: later starts find this window through it.
    if (instance_)
        instance_->setMarker([this] { CloseMainWithoutQuestion(); }, [this] { BringToFront(); });
    // 2. A background picture beside the executable.
    LoadBackgroundOverride();
    // 3. The listener: arrival notices and the reader thread, reporting to this window.
    listener_ = std::make_unique<device::CHidInputWnd>(this);
    // 4. Display texts.
    displayTexts().loadOverride();
    ApplyDisplayTexts();
    // 5. The four pages, by title.
    if (auto* tab = findChildByName2<ui::STabCtrl>(u"tabctrl_mode")) {
        for (const ConsoleId console : kBlockOrder) {
            const std::string_view title = consoleInfo(console).pageTitle;
            handler(console).BindPage(tab->page(QString::fromLatin1(title.data(), qsizetype(title.size()))));
        }
    } else {
        qCWarning(lcSoui) << "the main layout has no tabctrl_mode";
    }
    // The editing aids: history shortcuts, the mark on the apply button, the copy menus.
    history_.installShortcuts(this);
    if (ui::SWindow* apply = findChildByName(u"btn_Applay"))
        mark_ = new UnappliedMark(apply); // owned by the button
    for (const TabButton& b : kTabButtons) {
        ui::SWindow* button = findChildByName(QString::fromLatin1(b.name));
        if (!button)
            continue;
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, button, console = b.console] { showCopyMenu(console, button); });
    }
    // 6. The adapter, when one is present.
    if (const auto path = device::FindAdapter())
        device::adapterPath().set(*path);
    // 7. What the adapter holds.
    ReadBackFromAdapter();
    history_.sync(); // the history starts from what the window opens with
    // 8. The window opens on PS3.
    SelectConsole(1);
    prepareKeyboardAccess();
}

QList<ui::SWindow*> CMainDlg::elements(std::initializer_list<const char16_t*> names) const {
    QList<ui::SWindow*> found;
    for (const char16_t* name : names)
        if (ui::SWindow* w = findChildByName(QStringView(name)))
            found << w;
    return found;
}

void CMainDlg::prepareKeyboardAccess() {
    for (ui::SWindow* w : elements(kConsoleButtons)) {
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
    QList<ui::SWindow*> chain = elements(kConsoleButtons);
    if (const auto console = consoleFromByte(device::currentConsole().load()))
        chain << const_cast<CMainDlg*>(this)->handler(*console).boxesInFocusOrder();
    chain << elements(kCommandButtons);
    return chain;
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (mods == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_1:
            SelectConsole(uint8_t(ConsoleId::PS3));
            return;
        case Qt::Key_2:
            SelectConsole(uint8_t(ConsoleId::PS4));
            return;
        case Qt::Key_3:
            SelectConsole(uint8_t(ConsoleId::SWITCH));
            return;
        case Qt::Key_4:
            SelectConsole(uint8_t(ConsoleId::XBOX));
            return;
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
        const QList<ui::SWindow*> consoles = elements(kConsoleButtons);
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
    const auto console = consoleFromByte(device::currentConsole().load());
    if (!console)
        return;
    // Only the user at this window moves its focus: not behind a menu, a dialog or another window.
    const bool quiet = closed_ || !isActiveWindow() || keysel::menuRunActive() ||
                       QApplication::activeModalWidget() != nullptr ||
                       QApplication::activePopupWidget() != nullptr;
    const auto press =
        padPresses_.onState(device::joyData().get(), *console, PadPressTracker::Clock::now(), quiet);
    if (!press)
        return;
    ui::SWindow* box = handler(*console).box(press->button);
    if (!box || !box->isVisible())
        return;
    if (press->second && box->hasFocus()) {
        padPresses_.forgetPress();
        // As a click would, once this notice is done.
        QPointer<ui::SWindow> target(box);
        QMetaObject::invokeMethod(
            this,
            [target] {
                if (target && !keysel::menuRunActive() && !QApplication::activeModalWidget())
                    target->click();
            },
            Qt::QueuedConnection);
        return;
    }
    focusFromKeyboard(box);
}

void CMainDlg::LoadBackgroundOverride() {
    const QString path = executableDir() + QStringLiteral("background.png");
    if (!QFileInfo::exists(path))
        return;
    const ui::Toolkit* tk = ui::Toolkit::instance();
    auto* background = findChildByName2<ui::SImageWnd>(u"img_background");
    if (!tk || !background)
        return;
    QString error;
    const QImage image = ui::decodeImageFile(path, tk->decoder(), &error);
    if (image.isNull()) {
        qCInfo(lcSoui) << "background.png not used:" << error;
        return;
    }
    background->setImage(image);
}

void CMainDlg::ApplyDisplayTexts() {
    const DisplayTexts& texts = displayTexts();
    if (!texts.loaded())
        return;
    setWindowTitle(texts.get(DisplayText::title));
    const std::pair<const char16_t*, DisplayText> elements[] = {
        {u"text_title", DisplayText::title},    {u"btn_loadcfg", DisplayText::loadcfg},
        {u"btn_savecfg", DisplayText::savecfg}, {u"btn_default", DisplayText::default_},
        {u"btn_Applay", DisplayText::applay},
    };
    for (const auto& [name, which] : elements) {
        if (ui::SWindow* w = findChildByName(QStringView(name)))
            w->setText(texts.get(which));
    }
}

void CMainDlg::SelectConsole(uint8_t id) {
    for (const TabButton& b : kTabButtons) {
        ui::SWindow* button = findChildByName(QString::fromLatin1(b.name));
        if (!button)
            continue;
        const bool selected = b.id == id;
        button->setChecked(selected);
        button->setAttribute(QStringLiteral("colorText"),
                             QLatin1String(selected ? kColorSelected : kColorUnselected));
        button->update();
    }
    device::currentConsole().store(id);
    device::joyData().resetNeutral();
    device::modeSelectPending().store(1);
    device::SendModeSelect(); // the reader repeats it while the flag stays set
    device::wakeReader();
    auto* tab = findChildByName2<ui::STabCtrl>(u"tabctrl_mode");
    if (tab && tab->isAncestorOf(focusWidget())) {
        // The focused box is about to be hidden: the keyboard's place moves to the console chosen.
        for (const TabButton& b : kTabButtons)
            if (b.id == id)
                if (ui::SWindow* button = findChildByName(QString::fromLatin1(b.name)))
                    button->setFocus(Qt::OtherFocusReason);
    }
    if (tab)
        tab->setCurSel(pageTitleFor(id));
    m_PS3Handler.ShowKeystatus();
    m_PS4Handler.ShowKeystatus();
    m_SwtichHandler.ShowKeystatus();
    m_XBOXHandler.ShowKeystatus();
}

void CMainDlg::ReadBackFromAdapter() {
    device::ReadBackFromAdapter(block_, [this](ConsoleId console) {
        adapter_.holds(console, block_.record(console));
        handler(console).ShowWorkMode(block_.record(console));
    });
    refreshUnappliedMark();
}

bool CMainDlg::ApplyToAdapter(bool announceSuccess) {
    const device::ApplyResult result = device::ApplyToAdapter(block_);
    // The records written before a refused one are in the adapter now.
    for (const ConsoleId console : kBlockOrder) {
        if (result.status == device::ApplyStatus::NoAdapter || result.failedConsole == console)
            break;
        adapter_.holds(console, block_.record(console));
    }
    history_.sync(); // apply prepared the records in place; that is no step of the user's
    refreshUnappliedMark();
    if (result.status != device::ApplyStatus::Success) {
        const std::string_view text = device::applyErrorText(result);
        const QByteArray source(text.data(), qsizetype(text.size()));
        boxes_.error(QCoreApplication::translate("messages", source.constData()));
        return false;
    }
    if (announceSuccess)
        boxes_.information(displayTexts().get(DisplayText::msgsuccess),
                           displayTexts().get(DisplayText::title));
    return true;
}

void CMainDlg::CopyConsole(ConsoleId from, ConsoleId to) {
    block_ = copyConsole(block_, from, to);
    showAll();
    history_.commit();
}

void CMainDlg::showCopyMenu(ConsoleId from, const ui::SWindow* button) {
    if (closed_)
        return;
    // Where a box opens its menu: the button's left edge, 4 pixels above its bottom.
    const QRect r = button->windowRectInHost();
    const QPoint point = button->hostToScreen(QPoint(r.left(), r.top() + r.height() - 4));
    if (const std::optional<ConsoleId> to = ShowCopyMenu(from, point, this))
        CopyConsole(from, *to);
}

QString CMainDlg::applyLabel() const {
    // What the apply button says, so that the question names the same command.
    const ui::SWindow* apply = findChildByName(u"btn_Applay");
    return apply && !apply->text().isEmpty() ? apply->text() : QStringLiteral("应用");
}

void CMainDlg::refreshUnappliedMark() {
    if (mark_)
        mark_->set(changesNotApplied());
}

void CMainDlg::OnWMUpdateJoydate() {
    guardedShowKeystatus([this] { m_PS3Handler.ShowKeystatus(); }, "m_PS3Handler.ShowKeystatus exception",
                         33);
    guardedShowKeystatus([this] { m_PS4Handler.ShowKeystatus(); }, "m_PS4Handler.ShowKeystatus(); exception",
                         41);
    guardedShowKeystatus([this] { m_SwtichHandler.ShowKeystatus(); },
                         "m_SwtichHandler.ShowKeystatus(); exception", 48);
    guardedShowKeystatus([this] { m_XBOXHandler.ShowKeystatus(); },
                         "m_XBOXHandler.ShowKeystatus(); exception", 55);
    followPadPress();
}

void CMainDlg::showAll() {
    for (const ConsoleId console : kBlockOrder)
        handler(console).ShowWorkMode(block_.record(console));
}

bool CMainDlg::CloseMain() {
    if (closed_)
        return true;
    if (!device::adapterPath().get().empty() && changesNotApplied()) {
        const CloseAnswer answer = boxes_.applyBeforeClosing(
            QCoreApplication::translate("CMainDlg", "适配器中还没有这些更改。关闭前要应用吗？"),
            displayTexts().get(DisplayText::title), applyLabel());
        if (closed_) // a later start's "-x" closed the window meanwhile
            return true;
        if (answer == CloseAnswer::Cancel)
            return false;
        // A failed apply has shown its error; the window stays so that nothing is lost.
        if (answer == CloseAnswer::Apply && !ApplyToAdapter(false))
            return false;
    }
    CloseMainWithoutQuestion();
    return true;
}

void CMainDlg::CloseMainWithoutQuestion() {
    if (closed_)
        return;
    closed_ = true;
    if (instance_)
        instance_->removeMarker();
    hide();
    Q_EMIT closed();
}

void CMainDlg::BringToFront() {
    if (closed_)
        return;
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    // The window system's close (task bar, Alt+F4) is the user's close command. A close Qt sends
    // on its own (the application quitting) and the session ending never ask.
    if (event->spontaneous() && !(qGuiApp && qGuiApp->isSavingSession())) {
        if (!CloseMain()) {
            event->ignore();
            return;
        }
    } else {
        CloseMainWithoutQuestion();
    }
    event->accept();
}

bool CMainDlg::onEvent(ui::EventArgs& args) {
    if (args.id == ui::kEventCommand) {
        const QString& name = args.senderName;
        if (name == u"btn_close") {
            CloseMain();
            return true;
        }
        if (name == u"btn_min") {
            showMinimized();
            return true;
        }
        if (name == u"btn_ps3") {
            SelectConsole(1);
            return true;
        }
        if (name == u"btn_ps4") {
            SelectConsole(2);
            return true;
        }
        if (name == u"btn_switch") {
            SelectConsole(4);
            return true;
        }
        if (name == u"btn_xbox") {
            SelectConsole(3);
            return true;
        }
        if (name == u"btn_loadcfg") {
            files_.load(this);
            return true;
        }
        if (name == u"btn_savecfg") {
            files_.save(this);
            return true;
        }
        if (name == u"btn_default") {
            files_.restoreDefault();
            return true;
        }
        if (name == u"btn_Applay") {
            ApplyToAdapter();
            return true;
        }
    }
    const bool handled = m_PS3Handler.HandleEvent(args) || m_PS4Handler.HandleEvent(args) ||
                         m_SwtichHandler.HandleEvent(args) || m_XBOXHandler.HandleEvent(args);
    history_.commit(); // a key or mouse button chosen for a box
    return handled;
}

bool CMainDlg::onMessage(QEvent* message) {
    if (message->type() == device::WM_HID_ARRIVAL) {
        adapter_.forget(); // perhaps another adapter: known only once read back
        ReadBackFromAdapter();
        history_.commit(); // the records read back are one step
        return true;
    }
    if (message->type() == device::WM_UPDATE_JOYDATE) {
        OnWMUpdateJoydate();
        return true;
    }
    return false;
}

} // namespace velorin::app
