#include "app/AdapterBadge.h"

#include "app/Handlers.h"
#include "ui/Font.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QEvent>
#include <QPainter>

#include <limits>

namespace velorin::app {

AdapterBadge::AdapterBadge(QWidget* parent, int right, int middleY, std::function<int()> leftLimit)
    : QLabel(parent), right_(right), middleY_(middleY), leftLimit_(std::move(leftLimit)) {
    setObjectName(QStringLiteral("adapter_state"));
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setFont(ui::applyFontDescription(font(), u"face:微软雅黑,size:12"));
    refresh();
    show();
}

QString AdapterBadge::label(AdapterState state) {
    switch (state) {
    case AdapterState::Connected:
        return QCoreApplication::translate("CMainDlg", "适配器已连接");
    case AdapterState::NoAccess:
        return QCoreApplication::translate("CMainDlg", "适配器无法访问");
    case AdapterState::Absent:
        break;
    }
    return QCoreApplication::translate("CMainDlg", "未连接适配器");
}

QString AdapterBadge::toolTipText(AdapterState state) {
    switch (state) {
    case AdapterState::Connected:
        return QCoreApplication::translate("CMainDlg", "适配器已连接：应用会把四个记录写入其中");
    case AdapterState::NoAccess:
        // One literal, so that the translation check finds it.
        // clang-format off
        return QCoreApplication::translate("CMainDlg", "已插入适配器，但没有打开它的权限：请安装 udev 规则 70-velorin.rules 后重新插入（velorinctl list 会给出步骤）");
        // clang-format on
    case AdapterState::Absent:
        break;
    }
    return QCoreApplication::translate("CMainDlg",
                                       "未连接适配器：无法应用。插入适配器后，窗口会读取其中的记录");
}

QString AdapterBadge::keptNote(const std::vector<ConsoleId>& kept, bool naming) {
    if (kept.empty())
        return {};
    if (!naming)
        return QCoreApplication::translate("CMainDlg", "已保留更改");
    return QCoreApplication::translate("CMainDlg", "已保留 %1 的更改").arg(consoleList(kept));
}

QString AdapterBadge::keptToolTip(const std::vector<ConsoleId>& kept) {
    if (kept.empty())
        return {};
    // One literal, so that the translation check finds it.
    // clang-format off
    return QCoreApplication::translate("CMainDlg", "重新读取适配器时保留了你对 %1 的更改：适配器中的记录与之不同，应用会写入窗口中显示的内容。右键单击「应用」可改用适配器中的记录").arg(consoleList(kept));
    // clang-format on
}

void AdapterBadge::setState(AdapterState state) {
    if (state == state_)
        return;
    state_ = state;
    refresh();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void AdapterBadge::setKept(std::vector<ConsoleId> kept) {
    if (kept == kept_)
        return;
    kept_ = std::move(kept);
    refresh();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

QString AdapterBadge::fittingNote() const {
    if (kept_.empty())
        return {};
    const QFontMetrics fm(font());
    const int room = leftLimit_ ? right_ - leftLimit_() : std::numeric_limits<int>::max();
    const auto fits = [&](const QString& note) {
        return kDot + kGap + fm.horizontalAdvance(label(state_) + QStringLiteral(" · ") + note) + 1 <= room;
    };
    for (const bool naming : {true, false})
        if (const QString note = keptNote(kept_, naming); fits(note))
            return note;
    return {}; // the tooltip and the apply button's mark still say it
}

QString AdapterBadge::shownText() const {
    const QString note = fittingNote();
    return note.isEmpty() ? label(state_) : label(state_) + QStringLiteral(" · ") + note;
}

QSize AdapterBadge::sizeHint() const {
    const QFontMetrics fm(font());
    return {kDot + kGap + fm.horizontalAdvance(shownText()) + 1, std::max(fm.height(), kDot)};
}

void AdapterBadge::refresh() {
    const QString tip =
        kept_.empty() ? toolTipText(state_) : toolTipText(state_) + u'\n' + keptToolTip(kept_);
    setText(shownText());
    setToolTip(tip);
    setAccessibleName(shownText());
    setAccessibleDescription(tip);
    const QSize size = sizeHint();
    setGeometry(right_ - size.width(), middleY_ - size.height() / 2, size.width(), size.height());
    update();
}

void AdapterBadge::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange || event->type() == QEvent::FontChange)
        refresh();
    QLabel::changeEvent(event);
}

void AdapterBadge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF dot(0.5, (height() - kDot) / 2.0 + 0.5, kDot - 1.0, kDot - 1.0);
    if (state_ == AdapterState::Connected) {
        p.setPen(Qt::NoPen);
        p.setBrush(kConnectedColor);
    } else {
        p.setPen(QPen(state_ == AdapterState::NoAccess ? kNoAccessColor : kAbsentColor, 1.2));
        p.setBrush(Qt::NoBrush);
    }
    p.drawEllipse(dot);
    p.setPen(kTextColor);
    const QRect text = rect().adjusted(kDot + kGap, 0, 0, 0);
    const QString state = label(state_);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, state);
    if (const QString note = fittingNote(); !note.isEmpty()) {
        // The kept changes in the accent colour, after the state.
        p.setPen(kNoAccessColor);
        p.drawText(text.adjusted(QFontMetrics(font()).horizontalAdvance(state), 0, 0, 0),
                   Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral(" · ") + note);
    }
}

} // namespace velorin::app
