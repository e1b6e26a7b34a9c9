// The on-screen keyboard: a modal dialog titled "Keyboard" that shows a full PC keyboard; one click on
// an available key ends it with 1 and the key's index, Esc or the close box end it with 0.
#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QPointer>

#include <cstdint>

namespace velorin::keysel {

struct KeyboardTemplate;

// The result holder of one showing, owned by the caller for the duration of the call.
struct KeyboardDialog {
    static constexpr uint8_t kNoKey = 255;
    uint8_t keyIndex = kNoKey;      // index of the chosen key (control id - 1151)
    QPointer<QDialog> dialogWindow; // the dialog while it is open
};

// The holder of the dialog being shown; the caller sets it before each showing. The dialog reaches
// its result only through this reference.
extern KeyboardDialog* activeKeyboard;

// End value when the dialog could not be created (no holder set, or the key table is unreadable).
inline constexpr int kKeyboardFailed = -1;

// Shows the keyboard modally over owner and returns 1 (a key was chosen, its index in
// activeKeyboard->keyIndex), 0 (closed without a choice) or kKeyboardFailed.
int ShowKeyboard(QWidget* owner, KeyboardDialog* dialog);

// One key button. Available keys are ordinary push buttons with a one- or two-line caption; the
// unavailable ones are grey blocks that show no caption and no focus mark.
class KeyButton : public QAbstractButton {
    Q_OBJECT
public:
    KeyButton(int controlId, const QString& text, bool multiline, bool available, QWidget* parent);
    int controlId() const { return controlId_; }
    bool isAvailable() const { return available_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int controlId_;
    bool multiline_;
    bool available_;
};

// The dialog window built from the key table; exposed for tests and screenshots.
class KeyboardWindow : public QDialog {
    Q_OBJECT
public:
    KeyboardWindow(const KeyboardTemplate& tpl, QWidget* owner);
    KeyButton* keyButton(int controlId) const;
    QWidget* frameWidget() const { return frame_; }
    // The key next to `from` in the direction of an arrow key (Qt::Key_Left ... Qt::Key_Down): the
    // nearest one that shares part of its row (or column); nullptr at the keyboard's edge.
    KeyButton* neighbour(const KeyButton* from, int arrowKey) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onKey(int controlId, bool available);

    QWidget* frame_ = nullptr;
    KeyButton* first_ = nullptr;
};

} // namespace velorin::keysel
