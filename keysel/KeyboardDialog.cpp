#include "keysel/KeyboardDialog.h"

#include "keysel/KeyboardLayout.h"
#include "model/Log.h"

#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <cstdlib>
#include <utility>

namespace velorin::keysel {

KeyboardDialog* activeKeyboard = nullptr;

KeyButton::KeyButton(int controlId, const QString& text, bool multiline, bool available, QWidget* parent)
    : QAbstractButton(parent), controlId_(controlId), multiline_(multiline), available_(available) {
    setText(text);
    setObjectName(QStringLiteral("key_%1").arg(controlId));
    setFocusPolicy(Qt::StrongFocus); // every key is a tab stop
    // What a screen reader says: the caption on one line ("~ `"), the space bar by its name.
    QString spoken = text.simplified().replace(QStringLiteral("&&"), QStringLiteral("&"));
    if (spoken.isEmpty())
        spoken = QStringLiteral("Space");
    setAccessibleName(spoken);
    if (!available)
        setAccessibleDescription(QCoreApplication::translate("dlg_keyboard", "不可用"));
}

QSize KeyButton::sizeHint() const {
    return size();
}

void KeyButton::keyPressEvent(QKeyEvent* event) {
    // Enter chooses the focused key, as a focused push button of a dialog is its default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (auto* window = qobject_cast<KeyboardWindow*>(parentWidget()))
            if (KeyButton* next = window->neighbour(this, event->key()))
                next->setFocus(Qt::OtherFocusReason);
        event->accept();
        return;
    default:
        break;
    }
    QAbstractButton::keyPressEvent(event);
}

void KeyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!available_) {
        // A grey block: a one-pixel frame in the face colour around a fill in the disabled-text colour,
        // the same in every state.
        const QPalette& pal = palette();
        const QRect r = rect();
        p.fillRect(r, pal.color(QPalette::Active, QPalette::Button));
        p.fillRect(r.adjusted(1, 1, -1, -1), pal.color(QPalette::Disabled, QPalette::Text));
        return;
    }
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.features = QStyleOptionButton::None;
    if (isDown())
        opt.state |= QStyle::State_Sunken;
    else
        opt.state |= QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &p, this);
    int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (multiline_)
        flags |= Qt::TextWordWrap;
    // Captions use the whole face of the key less its bevel, as the keys are small.
    QRect textRect = rect().adjusted(2, 1, -2, -1);
    if (isDown())
        textRect.translate(1, 1);
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(textRect, flags, text());
    if (hasFocus()) {
        QStyleOptionFocusRect fr;
        fr.initFrom(this);
        fr.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &fr, &p, this);
    }
}

KeyboardWindow::KeyboardWindow(const KeyboardTemplate& tpl, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("keyboard_%1").arg(kKeyboardTemplateId));
    setWindowTitle(
        tpl.trCtx.isEmpty() || tpl.caption.isEmpty()
            ? tpl.caption
            : QCoreApplication::translate(tpl.trCtx.toUtf8().constData(), tpl.caption.toUtf8().constData()));
    // Title bar with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(dialogFont(tpl));
    const DialogBaseUnits units = dialogBaseUnits(font());
    setFixedSize(mapDialogSize(tpl.sizeDu, units));

    // The etched frame first, so that the keys lie above it.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("etched_frame"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(mapDialogRect(tpl.frameDu, units));
    frame_ = frame;

    QWidget* previous = nullptr;
    for (const KeyboardKey& k : tpl.keys) {
        auto* b = new KeyButton(k.controlId, k.text(), k.multiline, k.available, this);
        b->setGeometry(mapDialogRect(k.rectDu, units));
        const int id = k.controlId;
        const bool available = k.available;
        connect(b, &QAbstractButton::clicked, this, [this, id, available] { onKey(id, available); });
        if (previous)
            setTabOrder(previous, b);
        else
            first_ = b;
        previous = b;
    }
}

KeyButton* KeyboardWindow::keyButton(int controlId) const {
    return findChild<KeyButton*>(QStringLiteral("key_%1").arg(controlId), Qt::FindDirectChildrenOnly);
}

KeyButton* KeyboardWindow::neighbour(const KeyButton* from, int arrowKey) const {
    if (!from)
        return nullptr;
    const bool horizontal = arrowKey == Qt::Key_Left || arrowKey == Qt::Key_Right;
    const bool forward = arrowKey == Qt::Key_Right || arrowKey == Qt::Key_Down;
    const QRect a = from->geometry();
    // Along the arrow: the gap between the two keys; across it: the distance of their centres.
    auto along = [&](const QRect& b) {
        if (horizontal)
            return forward ? b.left() - a.right() : a.left() - b.right();
        return forward ? b.top() - a.bottom() : a.top() - b.bottom();
    };
    auto across = [&](const QRect& b) {
        return horizontal ? std::abs(b.center().y() - a.center().y())
                          : std::abs(b.center().x() - a.center().x());
    };
    auto overlaps = [&](const QRect& b) {
        return horizontal ? b.top() <= a.bottom() && b.bottom() >= a.top()
                          : b.left() <= a.right() && b.right() >= a.left();
    };
    KeyButton* best = nullptr;
    std::pair<int, int> bestScore;
    for (KeyButton* k : findChildren<KeyButton*>(Qt::FindDirectChildrenOnly)) {
        const QRect b = k->geometry();
        if (k == from || along(b) <= 0 || !overlaps(b))
            continue;
        const std::pair<int, int> score{along(b), across(b)};
        if (!best || score < bestScore) {
            best = k;
            bestScore = score;
        }
    }
    return best;
}

void KeyboardWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (first_)
        first_->setFocus(Qt::OtherFocusReason);
}

void KeyboardWindow::onKey(int controlId, bool available) {
    if (!activeKeyboard || !available)
        return; // an unavailable key is ignored; the dialog stays open
    activeKeyboard->keyIndex = uint8_t(controlId - kFirstKeyControlId);
    done(1);
}

int ShowKeyboard(QWidget* owner, KeyboardDialog* dialog) {
    if (!dialog || activeKeyboard != dialog) {
        qCWarning(velorin::lcSoui) << "ShowKeyboard: the result holder is not the active keyboard";
        return kKeyboardFailed;
    }
    const auto tpl = loadKeyboardTemplate();
    if (!tpl) {
        qCWarning(velorin::lcSoui) << "ShowKeyboard: keyboard template unusable:"
                                   << QString::fromStdString(tpl.error().detail);
        return kKeyboardFailed;
    }
    KeyboardWindow window(*tpl, owner);
    dialog->dialogWindow = &window;
    const int result = window.exec();
    dialog->dialogWindow = nullptr;
    return result == 1 ? 1 : 0;
}

} // namespace velorin::keysel
