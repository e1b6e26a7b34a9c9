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

QString UnappliedMark::text() {
    return QCoreApplication::translate("CMainDlg", "更改尚未应用");
}

void UnappliedMark::set(bool unapplied) {
    shown_ = unapplied;
    setVisible(unapplied);
    if (!button_)
        return;
    const QString tip = unapplied ? text() : QString();
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
        set(true); // the tooltip in the new language
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
