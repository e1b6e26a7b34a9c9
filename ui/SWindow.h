// SWindow: the base element of the skinned-widget toolkit, a QWidget with a name, an id, a skin, text,
// colours, a font description, margins and the generic attributes of the XML layouts.
//
// Elements are built from layout XML (pugixml) by SWindow::createChildren(); the element kinds are
// registered by tag name (see registerElementKind). Toolkit events (command 10000, mouse hover 9000,
// mouse leave 9001) go to the host window's event hook, SHostWnd::onEvent().
#pragma once

#include "ui/Color.h"

#include <QAccessible>
#include <QHash>
#include <QMargins>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <vector>

namespace velorin::ui {

class SHostWnd;
class SWindow;
class Skin;

// Toolkit event ids.
inline constexpr int kEventCommand = 10000;   // a click on a button (or a menu item's choice)
inline constexpr int kEventMouseHover = 9000; // the mouse entered the element
inline constexpr int kEventMouseLeave = 9001; // the mouse left the element

struct EventArgs {
    int id = 0;
    SWindow* sender = nullptr;
    QString senderName;
    int senderId = 0;
};

// Drawing states shared by the skins.
enum SkinState { kStateNormal = 0, kStateHover = 1, kStatePushed = 2, kStateDisabled = 3 };

class SWindow : public QWidget {
    Q_OBJECT
public:
    explicit SWindow(QWidget* parent = nullptr);
    ~SWindow() override;

    // ---- Kind ----------------------------------------------------------------------------------------
    // The tag this element is built from ("window", "img", "imgbtn", "text", "caption", "tabctrl", "page").
    virtual QString className() const { return QStringLiteral("window"); }
    // True for the element's own kind and the kinds it derives from (every element is a "window";
    // an image button is also a "button").
    virtual bool isKindOf(QStringView kind) const;

    // ---- Identity --------------------------------------------------------------------------------------
    QString name() const { return objectName(); }
    void setName(const QString& name) { setObjectName(name); }
    // The "ID" attribute; when a layout gives none, the id of the name in the named-id table, else 0.
    int id() const { return id_; }
    void setId(int id) { id_ = id; }

    // ---- Finding
    // ------------------------------------------------------------------------------------------- The first
    // element below this one (any depth when depth < 0; depth 1 = children only) with exactly this name and,
    // when `kind` is given, of that kind. nullptr when there is none.
    SWindow* findChildByName(QStringView name, QStringView kind = {}, int depth = -1) const;
    template <class T> T* findChildByName2(QStringView name, int depth = -1) const {
        return qobject_cast<T*>(findFirst(
            [&](const SWindow* w) { return w->name() == name && qobject_cast<const T*>(w) != nullptr; },
            depth));
    }
    SWindow* findChildById(int id, int depth = -1) const;
    // True when `w` is this element or lies anywhere below it.
    bool isSelfOrAncestorOf(const QWidget* w) const;

    // ---- Host
    // ------------------------------------------------------------------------------------------------ The
    // host window this element lives in (itself for a host window), or nullptr.
    SHostWnd* hostWindow() const;
    // The element's rectangle in its host window's client coordinates.
    QRect windowRectInHost() const;
    // Converts a point in host client coordinates to screen coordinates.
    QPoint hostToScreen(QPoint p) const;

    // ---- Text, state, visibility
    // ------------------------------------------------------------------------------- The text as set (the
    // layout's text after "@string/" lookup and translation).
    QString text() const { return text_; }
    virtual void setText(const QString& text);
    bool isChecked() const { return checked_; }
    virtual void setChecked(bool checked);
    bool isHovered() const { return hovered_; }
    bool isPushed() const { return pushed_; }
    // Shows or hides the element and redraws the place it occupies at once.
    void setVisibleNow(bool visible);
    // The skin state to draw: disabled 3, pushed or checked 2, hover 1, else 0.
    virtual int drawState() const;

    // ---- Attributes
    // -------------------------------------------------------------------------------------------
    using QWidget::setAttribute;
    // Sets an attribute as the layouts spell it ("colorText", "skin", "font", "pos", "visible", ...).
    // Returns false (and changes nothing) for a value that cannot be used; accepted values, including
    // attributes the element does not know, are kept and can be read back with attribute().
    virtual bool setAttribute(const QString& name, const QString& value);
    QString attribute(const QString& name) const { return attributes_.value(name); }
    bool hasAttribute(const QString& name) const { return attributes_.contains(name); }

    Skin* skin() const { return skin_; }
    void setSkin(Skin* skin);
    QMargins margin() const { return margin_; }
    void setMargin(const QMargins& m);
    // The area inside the margins.
    QRect clientRect() const { return rect().marginsRemoved(margin_); }
    // The text colour for the current state; inherited from the enclosing elements when not set.
    QColor textColor() const;
    void setTextColor(const QColor& c);
    std::optional<QColor> ownTextColor() const { return colorText_; }
    Qt::Alignment textAlignment() const { return align_; }
    void setTextAlignment(Qt::Alignment a);
    // The translation context: the nearest "trCtx" of this element or its ancestors.
    QString translationContext() const;

    // ---- Layout -----------------------------------------------------------------------------------------
    // "size" values: a number, or -1 to fill up to the parent's right (bottom) edge.
    static constexpr int kFill = -1;
    // The position and size the layout asks for; unset sizes come from desiredSize().
    void setLayoutSpec(QPoint pos, std::optional<int> width, std::optional<int> height);
    // Size wanted when the layout gives none: the skin's natural size, else the text's extent plus margins.
    virtual QSize desiredSize() const;
    // Places this element inside its parent's client rectangle from its layout spec.
    virtual void applyLayout(const QRect& parentClient);
    // Places every child element (called on resize).
    virtual void relayoutChildren();

    // ---- Building from XML
    // --------------------------------------------------------------------------------- Applies the node's
    // attributes ("class" style first), its text, then creates its children.
    virtual bool loadFromXml(const pugi::xml_node& node);
    // Creates one element per child node (by tag, see registerElementKind); "include" brings in the
    // children of another layout resource ("src"). Unknown tags are logged and skipped.
    virtual void createChildren(const pugi::xml_node& node);

    // ---- Events
    // -------------------------------------------------------------------------------------------- Raises a
    // toolkit event from this element to its host window's hook. Returns whether it was handled.
    bool fireEvent(int eventId);
    bool fireEvent(EventArgs& args);
    // Whether a click raises the command event (buttons do; plain windows do not unless asked).
    bool commandOnClick() const { return commandOnClick_; }
    void setCommandOnClick(bool on) { commandOnClick_ = on; }
    // A click from the keyboard or an assistive tool: what a finished left click does. Nothing while
    // the element is disabled.
    void click();

    // ---- Accessibility
    // ------------------------------------------------------------------------------------ What assistive
    // tools are told (ui/Accessible.cpp). The name is accessibleName() when set, else the text; when a
    // name is set, the text is the element's value (a box named "PS3 L2" whose value is "Q").
    virtual QAccessible::Role accessibleRole() const;
    void setAccessibleRole(QAccessible::Role role) { accessibleRole_ = role; }
    QString accessibleValue() const { return accessibleName().isEmpty() ? QString() : accessibleText(); }
    // The text as the user sees it (kinds that translate or decorate their text override this).
    virtual QString accessibleText() const { return text_; }
    // A state shown to assistive tools only, such as "the pad button of this box is held".
    bool accessiblePressed() const { return accessiblePressed_; }
    void setAccessiblePressed(bool pressed);

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

    // Whether paintEvent() has anything to draw. A bare container draws nothing, and opening a
    // painter on it would be most of the cost of redrawing a small area such as a lamp.
    virtual bool drawsSomething() const;
    // Background colour, skin, border, then content.
    virtual void paintBackground(QPainter& p);
    virtual void paintContent(QPainter& p);
    // Draws the skin in `state` over the whole element (animated kinds override).
    virtual void paintSkin(QPainter& p, int state);
    // Called whenever drawState() may have changed.
    virtual void onStateChanged(int oldState, int newState);
    // A finished click (press and release inside).
    virtual void onClick();
    // After loadFromXml() set attributes and created children.
    virtual void onLoaded() {}

    // The element's rectangle less any transparent margin of its skin (where the focus outline goes).
    QRect visibleRect();

    // Resolves "@string/name" and translates with the translation context.
    QString layoutText(const QString& raw) const;

private:
    // The generic attributes' setters (ui/SWindowAttributes.cpp); true for names without one.
    bool applyAttribute(const QString& name, const QString& value);
    SWindow* findFirst(const std::function<bool(const SWindow*)>& match, int depth) const;
    void setStateFlags(bool hovered, bool pushed, bool checked);

    int id_ = 0;
    QString text_;
    Skin* skin_ = nullptr;
    QMargins margin_;
    std::optional<QColor> colorText_;
    std::optional<QColor> colorTextHover_;
    std::optional<QColor> colorTextPushed_;
    std::optional<QColor> colorTextDisabled_;
    QColor colorBkgnd_;
    QColor colorBorder_;
    Qt::Alignment align_ = Qt::AlignLeft | Qt::AlignVCenter;
    QHash<QString, QString> attributes_;
    std::optional<QPoint> specPos_;
    std::optional<int> specWidth_; // unset: from desiredSize()
    std::optional<int> specHeight_;
    bool hovered_ = false;
    bool pushed_ = false;
    bool checked_ = false;
    bool commandOnClick_ = false;
    bool accessiblePressed_ = false;
    std::optional<QAccessible::Role> accessibleRole_;
};

// Visibility changes of elements that are redrawn together, at once, when the batch ends: one
// synchronous redraw of their parent instead of one per element.
class VisibilityBatch {
public:
    VisibilityBatch() = default;
    VisibilityBatch(const VisibilityBatch&) = delete;
    VisibilityBatch& operator=(const VisibilityBatch&) = delete;
    ~VisibilityBatch() { flush(); }

    void setVisible(SWindow* element, bool visible);
    // Redraws what changed so far.
    void flush();

private:
    QPointer<QWidget> parent_;
    QRegion region_;
    std::vector<QPointer<QWidget>> shown_;
};

// Creates an element of one kind as a child of `parent`.
using ElementCreator = std::function<SWindow*(QWidget* parent)>;
// Makes a tag known to the layout loader (replacing an earlier registration of that tag).
void registerElementKind(const QString& tag, ElementCreator creator);
// The element for a tag, or nullptr for an unknown tag.
SWindow* createElement(const QString& tag, QWidget* parent);

} // namespace velorin::ui
