#include "app/UnappliedMark.h"

#include "app/ChangesPopup.h"
#include "app/Handlers.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>

namespace velorin::app {

UnappliedMark::UnappliedMark(QWidget* button) : QWidget(button), button_(button) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    resize(kDiameter, kDiameter);
    button->installEventFilter(this);
    place();
    hide();
}

QString UnappliedMark::text(const std::vector<ConsoleId>& changed, const std::vector<ConsoleId>& differing,
                            const std::vector<ConsoleId>& unread,
                            const std::vector<ConsoleChanges>& changes) {
    QStringList lines;
    if (!changed.empty())
        lines << QCoreApplication::translate("CMainDlg", "更改尚未应用：%1").arg(consoleList(changed));
    if (!differing.empty())
        lines << QCoreApplication::translate(
                     "CMainDlg", "适配器中的 %1 记录与此不同；右键单击「应用」可改用适配器中的记录")
                     .arg(consoleList(differing));
    if (!unread.empty())
        lines << QCoreApplication::translate("CMainDlg", "适配器未完整读取：%1 记录未能读取，应用会替换它们")
                     .arg(consoleList(unread));
    if (!changed.empty() || !unread.empty())
        lines << changeTooltipLines(changes);
    return lines.join(u'\n');
}

void UnappliedMark::set(std::vector<ConsoleId> changed, std::vector<ConsoleId> differing,
                        std::vector<ConsoleId> unread, std::vector<ConsoleChanges> changes) {
    changed_ = std::move(changed);
    differing_ = std::move(differing);
    unread_ = std::move(unread);
    changes_ = std::move(changes);
    shown_ = !changed_.empty() || !unread_.empty();
    setVisible(shown_);
    if (!button_)
        return;
    const QString tip = text(changed_, differing_, unread_, changes_);
    button_->setToolTip(tip);
    button_->setAccessibleDescription(tip);
}

void UnappliedMark::place() {
    if (button_)
        move(button_->width() - kRightInset - kDiameter, (button_->height() - kDiameter) / 2);
    raise();
}

bool UnappliedMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched == button_ && event->type() == QEvent::Resize)
        place();
    if (watched == button_ && event->type() == QEvent::LanguageChange && shown_)
        set(changed_, differing_, unread_, changes_); // the tooltip in the new language
    return QWidget::eventFilter(watched, event);
}

void UnappliedMark::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace velorin::app
