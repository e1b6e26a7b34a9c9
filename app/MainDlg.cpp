// CMainDlg's commands (console selection, read-back and apply, the copy between consoles), the
// lamps on every pad-state notice, the close flow and the dispatch of toolkit events and device
// messages. The set-up is in MainDlgStartup.cpp, the keyboard access in MainDlgKeyboard.cpp.
#include "app/MainDlg.h"

#include "app/AdapterBadge.h"
#include "app/ChangesPopup.h"
#include "app/ClashMarks.h"
#include "app/MainDlgParts.h"
#include "app/SingleInstance.h"
#include "app/UnappliedMark.h"
#include "core/ConsoleCopy.h"
#include "core/MappingLink.h"
#include "device/Discovery.h"
#include "device/HidInputWnd.h"
#include "device/Messages.h"
#include "device/Reports.h"
#include "device/Sequences.h"
#include "model/DisplayTexts.h"
#include "model/Log.h"
#include "ui/Elements.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QToolTip>

#include <exception>

namespace velorin::app {

using namespace mainwnd;

namespace {

constexpr const char kColorSelected[] = "#ffffffff";
constexpr const char kColorUnselected[] = "#adadadff";

} // namespace

void guardedShowKeystatus(const std::function<void()>& call, std::string_view text, int line) {
    try {
        call();
    } catch (...) {
        logAt(LogLevel::Error, "MainDlg", line, "CMainDlg::OnWMUpdateJoydate", latin(text));
    }
}

CMainDlg::CMainDlg(std::shared_ptr<device::AdapterSession> session, FileChooser& chooser, MessageBoxes& boxes,
                   SingleInstance* instance)
    : ui::SHostWnd(QStringLiteral("LAYOUT:XML_MAINWND")), session_(std::move(session)), boxes_(boxes),
      instance_(instance),
      history_([this] { showAll(); },
               [this](ConsoleId console) { handler(console).ShowWorkMode(block().record(console)); }),
      files_([this]() -> const WorkModeBlock& { return block(); }, chooser, boxes,
             [this](const WorkModeBlock& loaded) { history_.load(loaded); }), // a file, the default
      m_PS3Handler(history_), m_PS4Handler(history_), m_SwtichHandler(history_), m_XBOXHandler(history_) {
    connect(&history_, &EditHistory::changed, this, &CMainDlg::refreshUnappliedMark);
}

CMainDlg::~CMainDlg() {
    stopListener();
    if (instance_)
        instance_->removeMarker();
}

CConsoleHandler& CMainDlg::handler(ConsoleId console) {
    // In block order, the order of the core's table.
    CConsoleHandler* const handlers[] = {&m_PS3Handler, &m_PS4Handler, &m_SwtichHandler, &m_XBOXHandler};
    static_assert(std::size(handlers) == kConsoleCount);
    return *handlers[consoleInfo(console).blockIndex];
}

bool CMainDlg::stopListener() {
    return listener_ ? listener_->stopReader() : true;
}

void CMainDlg::SelectConsole(ConsoleId console) {
    for (const ConsoleId c : kBlockOrder) {
        ui::SWindow* button = findChildByName(tabButtonOf(c));
        if (!button)
            continue;
        const bool selected = c == console;
        button->setChecked(selected);
        button->setAttribute(QStringLiteral("colorText"),
                             QLatin1String(selected ? kColorSelected : kColorUnselected));
        button->update();
    }
    session_->selectedConsole().store(console);
    session_->joyData().resetNeutral();
    session_->modeSelectPending().store(true);
    // The reader repeats it while the flag stays set.
    static_cast<void>(device::SendModeSelect(session_->platform(), console));
    session_->wakeReader();
    auto* tab = findChildByName2<ui::STabCtrl>(u"tabctrl_mode");
    if (tab && tab->isAncestorOf(focusWidget())) {
        // The focused box is about to be hidden: the keyboard's place moves to the console chosen.
        if (ui::SWindow* button = findChildByName(tabButtonOf(console)))
            button->setFocus(Qt::OtherFocusReason);
    }
    if (tab)
        tab->setCurSel(latin(consoleInfo(console).pageTitle));
    const device::JoyState state = session_->joyData().get();
    for (const ConsoleId c : kBlockOrder)
        handler(c).ShowKeystatus(console, state);
}

void CMainDlg::ReadBackFromAdapter() {
    device::ReadBackEnd end = device::ReadBackEnd::Complete;
    // Into a block of its own: what the adapter holds goes to the editing session, which keeps the
    // user's changes (core/EditSession.h).
    WorkModeBlock read = block();
    std::vector<ConsoleId> kept;
    const auto replaced = device::ReadBackFromAdapter(
        *session_, read,
        [this, &read, &kept](ConsoleId console) {
            if (history_.recordRead(console, read.record(console)) == ReadOutcome::Kept)
                kept.push_back(console);
        },
        &end);
    history_.endReadBack();
    for (const ConsoleId console : kept) {
        const std::string_view name = consoleInfo(console).name;
        qCInfo(lcSoui) << "read-back: the user's changes of the"
                       << QLatin1String(name.data(), qsizetype(name.size()))
                       << "record were kept; the adapter holds another record for it";
    }
    // Read-back ends silently for the user; the log says when a request could not even be written.
    if (end == device::ReadBackEnd::RequestFailed) {
        const std::string_view name = consoleInfo(kBlockOrder[replaced.size()]).name;
        qCWarning(lcSoui) << "read-back: the request for the"
                          << QLatin1String(name.data(), qsizetype(name.size()))
                          << "record could not be written to the adapter";
    }
    refreshAdapterState();
}

bool CMainDlg::ApplyToAdapter(bool announceSuccess) {
    // Apply writes what the window shows; it prepares the records (console ids, unused bytes).
    WorkModeBlock written = block();
    const device::ApplyResult result =
        device::ApplyToAdapter(*session_, written, session_->selectedConsole().load());
    // The records written before a refused one are in the adapter now.
    history_.applied(written, device::recordsTaken(result));
    refreshAdapterState();
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
    history_.copy(from, to);
}

void CMainDlg::TakeAdapterRecords() {
    history_.takeAdapterRecords();
}

void CMainDlg::showCopyMenu(ConsoleId from, const ui::SWindow* button) {
    if (closed_)
        return;
    // Where a box opens its menu: the button's left edge, 4 pixels above its bottom.
    const QRect r = button->windowRectInHost();
    const QPoint point = button->hostToScreen(QPoint(r.left(), r.top() + r.height() - 4));
    // "Copy link" where the web page's address is known and can carry the records' link.
    std::optional<std::string> link;
    if (const std::optional<QString> base = webPageAddress()) {
        auto made = mappinglink::linkForBlock(block(), base->toStdString());
        if (made)
            link = *made;
        else
            qCWarning(lcSoui) << "VELORIN_WEB_URL cannot carry a link:"
                              << QString::fromStdString(made.error().detail);
    }
    const CopyMenuChoice choice = ShowCopyMenu(from, point, this, link.has_value());
    if (choice.to)
        CopyConsole(from, *choice.to);
    else if (choice.copyLink && link) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(*link));
        QToolTip::showText(point, QCoreApplication::translate("CMainDlg", "链接已复制"), this);
    }
}

QString CMainDlg::applyLabel() const {
    // What the apply button says, so that the question names the same command.
    const ui::SWindow* apply = findChildByName(u"btn_Applay");
    return apply && !apply->text().isEmpty() ? apply->text() : QStringLiteral("应用");
}

bool CMainDlg::adapterConnected() const {
    return !session_->adapterPath().empty();
}

void CMainDlg::showApplyMenu(const ui::SWindow* button) {
    if (closed_)
        return;
    const bool connected = adapterConnected();
    const std::vector<ConsoleId> differing =
        connected ? history_.session().differing() : std::vector<ConsoleId>{};
    // What apply will change, while the mark shows.
    const bool changes = mark_ && mark_->shown();
    if (differing.empty() && !changes)
        return;
    const QRect r = button->windowRectInHost();
    const QPoint point = button->hostToScreen(QPoint(r.left(), r.top() + r.height() - 4));
    switch (ShowApplyMenu(differing, changes, point, this)) {
    case kTakeAdapterRecordsId:
        TakeAdapterRecords();
        break;
    case kShowChangesId:
        new ChangesPopup(pendingChanges(history_.session()), point, this); // deletes itself when closed
        break;
    default:
        break;
    }
}

void CMainDlg::refreshUnappliedMark() {
    const EditSession& s = history_.session();
    // What the adapter holds is named while it is there to apply to.
    const bool connected = adapterConnected();
    const std::vector<ConsoleId> differing = connected ? s.differing() : std::vector<ConsoleId>{};
    // The title area names the consoles whose changes a read-back kept, while they still differ.
    if (badge_)
        badge_->setKept(connected ? s.keptAtReadBack() : std::vector<ConsoleId>{});
    if (mark_)
        mark_->set(s.changed(), differing, connected ? s.unread() : std::vector<ConsoleId>{},
                   pendingChanges(s));
    showClashMarks(block(),
                   [this](ConsoleId console, PadButton button) { return handler(console).box(button); });
}

void CMainDlg::refreshAdapterState() {
    if (badge_) {
        AdapterState state = adapterConnected() ? AdapterState::Connected : AdapterState::Absent;
        if (state == AdapterState::Absent) {
            // Plugged in but not ours to open: say so, since apply cannot work until it is.
            for (const device::AdapterCandidate& c : device::DiagnoseAdapters(session_->platform()))
                if (c.openError == hid::OpenError::PermissionDenied)
                    state = AdapterState::NoAccess;
        }
        badge_->setState(state);
    }
    refreshUnappliedMark();
}

void CMainDlg::OnWMUpdateJoydate() {
    // Each handler on its own: a failure is logged with its console's text and line, and the
    // handlers after it still run.
    // One state for every handler: the reader may replace it meanwhile.
    const ConsoleId selected = session_->selectedConsole().load();
    const device::JoyState state = session_->joyData().get();
    for (const ConsoleInfo& c : consoles())
        guardedShowKeystatus([&] { handler(c.id).ShowKeystatus(selected, state); }, c.keystatusError,
                             c.keystatusErrorLine);
    followPadPress();
}

void CMainDlg::showAll() {
    for (const ConsoleId console : kBlockOrder)
        handler(console).ShowWorkMode(block().record(console));
}

bool CMainDlg::CloseMain() {
    if (closed_)
        return true;
    if (adapterConnected() && !consolesChanged().empty()) {
        QString text = QCoreApplication::translate("CMainDlg", "适配器中还没有这些更改。关闭前要应用吗？");
        if (const std::vector<ConsoleId> unseen = history_.session().unreadNorChosen(); !unseen.empty())
            text += QStringLiteral("\n\n") +
                    QCoreApplication::translate(
                        "CMainDlg", "适配器中的 %1 记录未能读取。应用会用窗口中显示的内容替换它们。")
                        .arg(consoleList(unseen));
        const CloseAnswer answer =
            boxes_.applyBeforeClosing(text, displayTexts().get(DisplayText::title), applyLabel());
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
        for (const ConsoleId console : kBlockOrder) {
            if (name == tabButtonOf(console)) {
                SelectConsole(console);
                return true;
            }
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
    // Offered to the handlers in block order; the first that takes it ends the round.
    bool handled = false;
    for (std::size_t i = 0; i < kBlockOrder.size() && !handled; ++i)
        handled = handler(kBlockOrder[i]).HandleEvent(args);
    return handled;
}

bool CMainDlg::onMessage(QEvent* message) {
    if (message->type() == device::WM_HID_ARRIVAL) {
        history_.adapterArrived(); // perhaps another adapter: known only once read back
        ReadBackFromAdapter();
        return true;
    }
    if (message->type() == device::WM_UPDATE_JOYDATE) {
        OnWMUpdateJoydate();
        // A removal of the adapter is followed by one of these.
        if (badge_ && (badge_->state() == AdapterState::Connected) != adapterConnected())
            refreshAdapterState();
        return true;
    }
    return false;
}

} // namespace velorin::app
