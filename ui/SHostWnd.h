// SHostWnd: a top-level window built from a layout resource. Frameless, fixed size, optionally translucent
// (per-pixel alpha); title, big and small icon and translation context come from the layout's root:
//
//   <hostwnd name=".." title="@string/title" bigIcon="ICON_LOGO:32" smallIcon="ICON_LOGO:16"
//            width="800" height="600" translucent="1" trCtx="dlg_main">
//     <root font="...">  elements ...  </root>
//   </hostwnd>
//
// Toolkit events of its elements reach onEvent(); the program's own messages (QEvent types in the user
// range, such as 0x0414 and 0x0415) reach onMessage().
//
// Keyboard: Tab and Shift+Tab walk focusChain(); Return or Space on a focused element that raises the
// command event on a click acts as that click. The focused element is outlined in "colorFocus" only
// once the keyboard has moved the focus; a mouse press anywhere in the window hides the outline again.
#pragma once

#include "ui/SWindow.h"

#include <QEvent>
#include <QIcon>

namespace velorin::ui {

// A program message with two parameters and a result, for senders that need to pass values along.
class SMessageEvent : public QEvent {
public:
    SMessageEvent(int message, quintptr wParam = 0, qintptr lParam = 0)
        : QEvent(QEvent::Type(message)), wParam(wParam), lParam(lParam) {}
    int message() const { return int(type()); }
    quintptr wParam;
    qintptr lParam;
    qintptr result = 0;
};

class SHostWnd : public SWindow {
    Q_OBJECT
public:
    // `layoutRef` is "LAYOUT:NAME"; an empty reference gives an empty host (see createFromXml()).
    // `owner` becomes the window's transient parent (the window stays a separate top-level window).
    explicit SHostWnd(QString layoutRef = {}, QWidget* owner = nullptr,
                      Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint);
    ~SHostWnd() override;

    QString className() const override { return QStringLiteral("hostwnd"); }
    bool isKindOf(QStringView kind) const override;

    // Builds the window from its layout resource. False when the layout is missing or malformed, or the
    // window was already created. The window is not shown.
    bool create();
    // Builds the window from a host element given directly (its attributes and its "root" child); a node
    // without children gives an empty window. With "width" and "height" the window gets that fixed size
    // (setFixedSize); a host sized by its content calls setFixedSize() itself. While minimum and maximum
    // size agree, a resize of the native window behind the widget's back is undone.
    bool createFromXml(const pugi::xml_node& hostNode);
    bool isCreated() const { return created_; }

    QString layoutRef() const { return layoutRef_; }
    bool isTranslucent() const { return translucent_; }
    QIcon bigIcon() const { return bigIcon_; }
    QIcon smallIcon() const { return smallIcon_; }

    // Centres the window on the work area (available geometry) of the screen it is on.
    void centerOnWorkArea();

    // The event hook: every toolkit event raised by an element of this window. Returns whether handled.
    virtual bool onEvent(EventArgs& args);
    // The program's own messages (event types >= QEvent::User). Returns whether handled.
    virtual bool onMessage(QEvent* message);

    bool setAttribute(const QString& name, const QString& value) override;

    static QEvent::Type messageType(int message) { return QEvent::Type(message); }

    // ---- Keyboard focus
    // --------------------------------------------------------------------------------------- The elements
    // Tab walks, in order; elements that are hidden or disabled are skipped. Empty: Qt's own order.
    virtual QList<SWindow*> focusChain() const { return {}; }
    // Gives an element the focus from the keyboard's side (Tab, arrows, a pad button) and shows the
    // outline.
    void focusFromKeyboard(SWindow* element, Qt::FocusReason reason = Qt::OtherFocusReason);
    bool focusOutlineShown() const { return focusOutlineShown_; }
    void setFocusOutlineShown(bool shown);
    // "colorFocus"; invalid (no outline) unless the layout gives one.
    QColor focusColor() const { return focusColor_; }

protected:
    bool event(QEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool setIconAttribute(const QString& name, const QString& value);
    // "width" or "height": the window's fixed size, 0..16384.
    bool setFixedExtent(const QString& name, const QString& value);

    QString layoutRef_;
    bool created_ = false;
    bool translucent_ = false;
    QIcon bigIcon_;
    QIcon smallIcon_;
    QSize fixedSize_;
    QColor focusColor_;
    bool focusOutlineShown_ = false;
};

} // namespace velorin::ui
