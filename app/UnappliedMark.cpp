#include "app/UnappliedMark.h"

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

QString UnappliedMark::consoleList(const std::vector<ConsoleId>& consoles) {
    QStringList names;
    for (const ConsoleId console : consoles) {
        const std::string_view name = consoleInfo(console).name;
        names << QString::fromLatin1(name.data(), qsizetype(name.size()));
    }
    // The list separator of the language: 、 in Chinese and Japanese, a comma in English.
    return names.join(QCoreApplication::translate("CMainDlg", "、"));
}

QString UnappliedMark::text(bool changesNotApplied, const std::vector<ConsoleId>& unread) {
    QStringList lines;
    if (changesNotApplied)
        lines << QCoreApplication::translate("CMainDlg", "更改尚未应用");
    if (!unread.empty())
        lines << QCoreApplication::translate("CMainDlg", "适配器未完整读取：%1 记录未能读取，应用会替换它们")
                     .arg(consoleList(unread));
    return lines.join(u'\n');
}

void UnappliedMark::set(bool changesNotApplied, std::vector<ConsoleId> unread) {
    changes_ = changesNotApplied;
    unread_ = std::move(unread);
    shown_ = changes_ || !unread_.empty();
    setVisible(shown_);
    if (!button_)
        return;
    const QString tip = text(changes_, unread_);
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
        set(changes_, unread_); // the tooltip in the new language
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
