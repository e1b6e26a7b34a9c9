#include "app/Handlers.h"

#include "app/EditHistory.h"
#include "core/Boxes.h"
#include "device/SharedState.h"
#include "keysel/KeyboardDialog.h"
#include "keysel/SMenuEx2.h"
#include "model/DisplayTexts.h"
#include "model/KeyCodeName.h"
#include "model/Log.h"
#include "ui/SHostWnd.h"

#include <QCoreApplication>

#include <vector>

namespace velorin::app {

QString copyToText(ConsoleId to) {
    const std::string_view name = consoleInfo(to).name;
    return QCoreApplication::translate("CMainDlg", "复制到 %1")
        .arg(QString::fromLatin1(name.data(), qsizetype(name.size())));
}

CopyMenuChoice ShowCopyMenu(ConsoleId from, QPoint screenPoint, QWidget* owner, bool withLink) {
    keysel::SMenuEx2 menu;
    menu.LoadDescription();
    for (const ConsoleId to : kBlockOrder) {
        if (to != from)
            menu.AppendItem(int(to), copyToText(to));
    }
    if (withLink)
        menu.AppendItem(kCopyLinkId, QCoreApplication::translate("CMainDlg", "复制链接"));
    const int id = menu.Track(screenPoint.x(), screenPoint.y(), owner);
    if (withLink && id == kCopyLinkId)
        return {std::nullopt, true};
    const std::optional<ConsoleId> to = id > 0 && id <= 0xFF ? consoleFromByte(uint8_t(id)) : std::nullopt;
    return {to == from ? std::nullopt : to, false};
}

int ShowApplyMenu(const std::vector<ConsoleId>& differing, bool changes, QPoint screenPoint, QWidget* owner) {
    keysel::SMenuEx2 menu;
    menu.LoadDescription();
    if (!differing.empty())
        menu.AppendItem(
            kTakeAdapterRecordsId,
            QCoreApplication::translate("CMainDlg", "改用适配器中的记录（%1）").arg(consoleList(differing)));
    if (changes)
        menu.AppendItem(kShowChangesId, QCoreApplication::translate("CMainDlg", "查看应用将写入的更改"));
    const int id = menu.Track(screenPoint.x(), screenPoint.y(), owner);
    return id == kTakeAdapterRecordsId || id == kShowChangesId ? id : 0;
}

std::optional<QString> webPageAddress() {
    const QString address = qEnvironmentVariable("VELORIN_WEB_URL").trimmed();
    return address.isEmpty() ? std::nullopt : std::optional(address);
}

QString consoleList(const std::vector<ConsoleId>& consoles) {
    QStringList names;
    for (const ConsoleId console : consoles) {
        const std::string_view name = consoleInfo(console).name;
        names << QString::fromLatin1(name.data(), qsizetype(name.size()));
    }
    // The list separator of the language: 、 in Chinese and Japanese, a comma in English.
    return names.join(QCoreApplication::translate("CMainDlg", "、"));
}

CHandlerBase::CHandlerBase(ConsoleId console, EditHistory& history) : console_(console), history_(&history) {}

ConstRecordSpan CHandlerBase::record() const {
    return history_->block().record(console_);
}

CHandlerBase::~CHandlerBase() = default;

void CHandlerBase::BindPage(ui::SWindow* page) {
    pageRoot_ = page;
}

QWidget* CHandlerBase::hostWindow() const {
    if (!pageRoot_)
        return nullptr;
    if (ui::SHostWnd* host = pageRoot_->hostWindow())
        return host;
    return pageRoot_->window();
}

void CHandlerBase::SetKeyBoxText(const QString& boxName, KeyCode code) {
    ui::SWindow* box = pageRoot_ ? pageRoot_->findChildByName(boxName, u"button") : nullptr;
    if (!box) {
        qCDebug(lcSoui) << "findChildByName failed:" << boxName;
        return;
    }
    box->setText(KeyCodeName(code));
}

int CHandlerBase::ShowFunctionMenu(QPoint screenPoint) {
    keysel::SMenuEx2 menu;
    menu.LoadDescription();
    const DisplayTexts& texts = displayTexts();
    menu.AppendItem(kFunKeyboard, texts.get(DisplayText::keyboard));
    menu.AppendItem(kFunLclick, texts.get(DisplayText::Lclick));
    menu.AppendItem(kFunRclick, texts.get(DisplayText::Rclick));
    menu.AppendItem(kFunMclick, texts.get(DisplayText::Mclick));
    return menu.Track(screenPoint.x(), screenPoint.y(), hostWindow());
}

void CHandlerBase::PickAssignment(PadButton button, QPoint screenPoint) {
    const int id = ShowFunctionMenu(screenPoint);
    KeyCode code = 0;
    switch (id) {
    case kFunKeyboard: {
        keysel::KeyboardDialog dialog;
        dialog.keyIndex = keysel::KeyboardDialog::kNoKey;
        keysel::activeKeyboard = &dialog;
        const int result = keysel::ShowKeyboard(hostWindow(), &dialog);
        keysel::activeKeyboard = nullptr;
        if (result != 1)
            return; // closed without a key: the box keeps what it held
        code = keyCodeForKeyIndex(dialog.keyIndex);
        break;
    }
    case kFunLclick:
    case kFunRclick:
    case kFunMclick:
        code = mouseCodeForMenuId(id);
        break;
    default:
        return;
    }
    history_->assign(console_, button, code); // the window redraws the page when it changed
}

QString spokenButtonName(PadButton button) {
    // The arrows and stick directions have a text in the translation documents; the others read
    // well as they are spelt in the element names, which no document translates.
    const std::string_view source = spokenButton(button);
    const QByteArray text(source.data(), qsizetype(source.size()));
    return QCoreApplication::translate("pad", text.constData());
}

void CConsoleHandler::BindPage(ui::SWindow* page) {
    CHandlerBase::BindPage(page);
    lamps_.fill(nullptr);
    boxes_.fill(nullptr);
    if (!page)
        return;
    const ConsoleInfo& info = consoleInfo(console_);
    const QString consoleName = QString::fromLatin1(info.name.data(), qsizetype(info.name.size()));
    for (const PadButton button : info.buttons) {
        lamps_[std::size_t(button)] =
            page->findChildByName(QString::fromStdString(lampName(console_, button)));
        ui::SWindow* box =
            page->findChildByName(QString::fromStdString(boxName(console_, button)), u"button");
        boxes_[std::size_t(button)] = box;
        if (!box)
            continue;
        box->setFocusPolicy(Qt::TabFocus); // the keyboard reaches it; a click does not move the focus
        box->setAccessibleName(consoleName + u' ' + spokenButtonName(button));
    }
}

ui::SWindow* CConsoleHandler::box(PadButton button) const {
    return boxes_[std::size_t(button)];
}

QList<ui::SWindow*> CConsoleHandler::boxesInFocusOrder() const {
    QList<ui::SWindow*> boxes;
    std::vector<BoxPlace> places;
    for (const PadButton button : consoleInfo(console_).buttons) {
        const ui::SWindow* b = boxes_[std::size_t(button)];
        if (!b)
            continue;
        const QPoint at = pageRoot_ ? b->mapTo(pageRoot_, QPoint(0, 0)) : b->pos();
        places.push_back({button, at.x(), at.y(), b->width(), b->height()});
    }
    for (const PadButton button : boxFocusOrder(places, pageRoot_ ? pageRoot_->width() : 0))
        boxes << boxes_[std::size_t(button)];
    return boxes;
}

void CConsoleHandler::ShowWorkMode(ConstRecordSpan record) {
    for (const PadButton button : consoleInfo(console_).buttons)
        SetKeyBoxText(QString::fromStdString(boxName(console_, button)),
                      record[std::size_t(recordByte(button))]);
}

bool CConsoleHandler::HandleEvent(ui::EventArgs& args) {
    if (!pageRoot_ || !args.sender || !pageRoot_->isSelfOrAncestorOf(args.sender))
        return false;
    if (args.id != ui::kEventCommand)
        return false;
    OnKeyBoxClick(args);
    return true;
}

QPoint CConsoleHandler::menuPointFor(const ui::SWindow* box) const {
    const QRect r = box->windowRectInHost();
    // The rectangle's bottom edge is the first row below the box.
    return box->hostToScreen(QPoint(r.left(), r.top() + r.height() - 4));
}

void CConsoleHandler::OnKeyBoxClick(const ui::EventArgs& args) {
    const QString name = args.senderName.isEmpty() && args.sender ? args.sender->name() : args.senderName;
    if (name.isEmpty() || !pageRoot_)
        return;
    const ui::SWindow* box = pageRoot_->findChildByName(name);
    if (!box)
        return;
    const QPoint point = menuPointFor(box);
    for (const PadButton button : consoleInfo(console_).buttons) {
        if (name != QString::fromStdString(boxName(console_, button)))
            continue;
        PickAssignment(button, point);
        return;
    }
}

void CConsoleHandler::ShowKeystatus() {
    if (device::currentConsole().load() != uint8_t(console_))
        return;
    const device::JoyState state = device::joyData().get();
    // The lamps that change are redrawn together before this returns.
    ui::VisibilityBatch batch;
    for (const PadButton button : consoleInfo(console_).buttons) {
        ui::SWindow* lampWnd = lamps_[std::size_t(button)];
        if (!lampWnd)
            continue;
        if (device::lampOn(state, button)) {
            if (lampWnd->isHidden()) {
                batch.setVisible(lampWnd, true);
                if (ui::SWindow* b = boxes_[std::size_t(button)])
                    b->setAccessiblePressed(true);
            }
        } else if (!lampWnd->isHidden()) {
            // Hiding a lamp that is already dark and redrawing its area changes no pixel; at a
            // thousand pad reports per second those redraws were most of the program's CPU.
            batch.setVisible(lampWnd, false);
            if (ui::SWindow* b = boxes_[std::size_t(button)])
                b->setAccessiblePressed(false);
        }
    }
}

ui::SWindow* CConsoleHandler::lamp(PadButton button) const {
    return lamps_[std::size_t(button)];
}

int CConsoleHandler::lampCount() const {
    int n = 0;
    for (const auto& l : lamps_)
        n += l ? 1 : 0;
    return n;
}

} // namespace velorin::app
