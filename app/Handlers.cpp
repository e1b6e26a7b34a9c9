#include "app/Handlers.h"

#include "keysel/KeyboardDialog.h"
#include "keysel/SMenuEx2.h"
#include "model/DisplayTexts.h"
#include "model/KeyCodeName.h"
#include "model/Log.h"
#include "ui/SHostWnd.h"

#include <QCoreApplication>

#include <algorithm>
#include <tuple>

namespace velorin::app {

QString copyToText(ConsoleId to) {
    const std::string_view name = consoleInfo(to).name;
    return QCoreApplication::translate("CMainDlg", "复制到 %1")
        .arg(QString::fromLatin1(name.data(), qsizetype(name.size())));
}

std::optional<ConsoleId> ShowCopyMenu(ConsoleId from, QPoint screenPoint, QWidget* owner) {
    keysel::SMenuEx2 menu;
    menu.LoadDescription();
    for (const ConsoleId to : kBlockOrder) {
        if (to != from)
            menu.AppendItem(int(to), copyToText(to));
    }
    const int id = menu.Track(screenPoint.x(), screenPoint.y(), owner);
    const std::optional<ConsoleId> to = id > 0 && id <= 0xFF ? consoleFromByte(uint8_t(id)) : std::nullopt;
    return to == from ? std::nullopt : to;
}

CHandlerBase::CHandlerBase(ConsoleId console, WorkModeBlock& block) : console_(console), block_(&block) {}

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

void CHandlerBase::PickAssignment(uint8_t& cell, RecordSpan record, QPoint screenPoint) {
    const int id = ShowFunctionMenu(screenPoint);
    switch (id) {
    case kFunKeyboard: {
        keysel::KeyboardDialog dialog;
        dialog.keyIndex = keysel::KeyboardDialog::kNoKey;
        keysel::activeKeyboard = &dialog;
        const int result = keysel::ShowKeyboard(hostWindow(), &dialog);
        keysel::activeKeyboard = nullptr;
        if (result != 1)
            return; // closed without a key: the cell keeps what it held
        cell = keyCodeForKeyIndex(dialog.keyIndex);
        break;
    }
    case kFunLclick:
    case kFunRclick:
    case kFunMclick:
        cell = mouseCodeForMenuId(id);
        break;
    default:
        return;
    }
    ShowWorkMode(record);
}

QString spokenButtonName(PadButton button) {
    // The buttons that read well as they are spelt in the element names keep that spelling.
    switch (button) {
    case PadButton::ARROW_UP:
        return QCoreApplication::translate("pad", "方向键上");
    case PadButton::ARROW_DOWN:
        return QCoreApplication::translate("pad", "方向键下");
    case PadButton::ARROW_L:
        return QCoreApplication::translate("pad", "方向键左");
    case PadButton::ARROW_R:
        return QCoreApplication::translate("pad", "方向键右");
    case PadButton::lyhih_UP:
        return QCoreApplication::translate("pad", "左摇杆上");
    case PadButton::lyhih_DOWN:
        return QCoreApplication::translate("pad", "左摇杆下");
    case PadButton::lxhih_L:
        return QCoreApplication::translate("pad", "左摇杆左");
    case PadButton::lxhih_R:
        return QCoreApplication::translate("pad", "左摇杆右");
    case PadButton::LSTICK_KEY:
        return QCoreApplication::translate("pad", "左摇杆按下");
    case PadButton::RSTICK_KEY:
        return QCoreApplication::translate("pad", "右摇杆按下");
    default: {
        const std::string_view name = padButtonName(button);
        return QString::fromLatin1(name.data(), qsizetype(name.size()));
    }
    }
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
    for (const auto& b : boxes_)
        if (b)
            boxes << b;
    if (!pageRoot_)
        return boxes;
    // Columns by the box's centre: the left and right thirds of the page, and what lies between.
    const int width = pageRoot_->width();
    auto column = [&](const ui::SWindow* w) {
        const int x = w->mapTo(pageRoot_, w->rect().center()).x();
        return x < width / 3 ? 0 : x >= width - width / 3 ? 1 : 2;
    };
    std::stable_sort(boxes.begin(), boxes.end(), [&](const ui::SWindow* a, const ui::SWindow* b) {
        const QPoint pa = a->mapTo(pageRoot_, QPoint(0, 0));
        const QPoint pb = b->mapTo(pageRoot_, QPoint(0, 0));
        return std::tuple(column(a), pa.y(), pa.x()) < std::tuple(column(b), pb.y(), pb.x());
    });
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
        const RecordSpan rec = record();
        PickAssignment(rec[std::size_t(recordByte(button))], rec, point);
        return;
    }
}

void CConsoleHandler::ShowKeystatus(ConsoleId selected, const JoyState& state) {
    if (selected != console_)
        return;
    // The lamps that change are redrawn together before this returns.
    ui::VisibilityBatch batch;
    for (const PadButton button : consoleInfo(console_).buttons) {
        ui::SWindow* lampWnd = lamps_[std::size_t(button)];
        if (!lampWnd)
            continue;
        if (lampOn(state, button)) {
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
