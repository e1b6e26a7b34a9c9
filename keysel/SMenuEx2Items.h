// The elements of a menu window: SMenuEx2Root lays out the rows and holds the menu's metrics and skins;
// SMenuEx2Item and SMenuEx2Sep are the rows. Items raise the toolkit's events (ui::kEventCommand on a
// click, ui::kEventMouseHover and ui::kEventMouseLeave as the pointer comes and goes), which reach their
// menu through its window.
#pragma once

#include "ui/SWindow.h"

#include <QPoint>
#include <memory>
#include <pugixml.hpp>

namespace velorin::ui {
class Skin;
} // namespace velorin::ui

namespace velorin::keysel {

class SMenuEx2;
class SMenuEx2Item;

// "iconPos" y meaning "centred vertically in the item".
inline constexpr int kIconCentered = -1000;

// The element that holds the items and the menu's metrics and skins; class name "menuRoot" (it also
// answers to "window"). Margins, colours and the font are the toolkit's generic attributes.
class SMenuEx2Root : public ui::SWindow {
    Q_OBJECT
public:
    explicit SMenuEx2Root(SMenuEx2* menu, QWidget* parent);
    QString className() const override { return QStringLiteral("menuRoot"); }

    using ui::SWindow::setAttribute;
    // The menu's own attributes (names in any case); everything else goes to the generic window
    // attributes. False (and nothing changed) for a value that cannot be used.
    bool setAttribute(const QString& name, const QString& value) override;
    bool setMenuAttribute(const QString& name, const QString& value) { return setAttribute(name, value); }
    // Attributes, then one child element per "menuItem" or "sep"; the root's own text is cleared.
    bool loadFromXml(const pugi::xml_node& node) override;

    SMenuEx2* menu() const { return menu_; }
    QList<SMenuEx2Item*> items() const;
    QSize desiredSize() const override;
    void layoutItems();
    void relayoutChildren() override { layoutItems(); }

    ui::Skin* itemSkin() const { return itemSkin_; }
    ui::Skin* checkSkin() const { return checkSkin_; }
    ui::Skin* sepSkin() const { return sepSkin_; }
    ui::Skin* arrowSkin() const { return arrowSkin_; }
    ui::Skin* iconSkin() const { return iconSkin_; }
    int itemHeight() const { return itemHeight_; }
    QPoint iconPos() const { return iconPos_; }
    int iconBarWidth() const { return iconBarWidth_; }
    int textOffset() const { return textOffset_; }
    int minWidth() const { return minWidth_; }
    int maxWidth() const { return maxWidth_; }
    int subMenuOffset() const { return subMenuOffset_; }
    int contextHelpId() const { return contextHelpId_; }
    void setContextHelpId(int id) { contextHelpId_ = id; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void setUnderPointer(bool over);

    SMenuEx2* menu_;
    bool underPointer_ = false;
    ui::Skin* itemSkin_ = nullptr;
    ui::Skin* checkSkin_ = nullptr;
    ui::Skin* sepSkin_ = nullptr;
    ui::Skin* arrowSkin_ = nullptr;
    ui::Skin* iconSkin_ = nullptr;
    int itemHeight_ = 26;
    QPoint iconPos_{0, 0};
    int iconBarWidth_ = 24;
    int textOffset_ = 0;
    int minWidth_ = 100;
    int maxWidth_ = -1;
    int subMenuOffset_ = 0;
    int contextHelpId_ = 0;
};

// One row of a menu; class name "menuItem" (it also answers to "window"). A click raises the command
// event; the pointer entering and leaving raise the hover and leave events.
class SMenuEx2Item : public ui::SWindow {
    Q_OBJECT
public:
    SMenuEx2Item(SMenuEx2* menu, SMenuEx2Root* root);
    ~SMenuEx2Item() override;
    QString className() const override { return QStringLiteral("menuItem"); }

    using ui::SWindow::setAttribute;
    // "icon", "check", "radio", "hotKey" and "ID" (names in any case); the rest are generic.
    bool setAttribute(const QString& name, const QString& value) override;
    bool loadFromXml(const pugi::xml_node& node) override;

    SMenuEx2* menu() const { return menu_; }
    SMenuEx2* subMenu() const { return subMenu_.get(); }
    // The caption as shown (translated in the menu's context).
    QString displayText() const;
    QChar hotKey() const { return hotKey_; }
    int icon() const { return icon_; }
    int check() const { return check_; }
    int radio() const { return radio_; }
    bool isUnderPointer() const { return underPointer_; }
    // Marks the item as under the pointer (raising the hover event) or not (raising the leave event).
    void setUnderPointer(bool over);
    QSize desiredSize() const override;
    // The skin state: 2 disabled, 1 selected (checked), pressed or under the pointer, else 0.
    int drawState() const override;
    QAccessible::Role accessibleRole() const override { return QAccessible::MenuItem; }
    QString accessibleText() const override { return displayText(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

    SMenuEx2Root* root_;

private:
    bool setNumber(int SMenuEx2Item::*member, const QString& value);
    bool setNumber(void (SMenuEx2Item::*setter)(int), const QString& value);
    void paintMark(QPainter& p, const QRect& r);
    void paintArrow(QPainter& p, const QRect& r);

    SMenuEx2* menu_;
    std::unique_ptr<SMenuEx2> subMenu_;
    int icon_ = -1;
    int check_ = 0;
    int radio_ = 0;
    QChar hotKey_;
    bool underPointer_ = false;
};

// A separator row; class name "sep". Always disabled.
class SMenuEx2Sep : public SMenuEx2Item {
    Q_OBJECT
public:
    SMenuEx2Sep(SMenuEx2* menu, SMenuEx2Root* root);
    QString className() const override { return QStringLiteral("sep"); }
    QSize desiredSize() const override;
    QAccessible::Role accessibleRole() const override { return QAccessible::Separator; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velorin::keysel
