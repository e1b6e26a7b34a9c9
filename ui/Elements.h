// The element kinds the layouts use: image, image button, text, caption, tab control and its pages.
#pragma once

#include "ui/SWindow.h"
#include "ui/Skin.h"

#include <QImage>
#include <QPointer>
#include <memory>

class QVariantAnimation;

namespace velorin::ui {

// "img": draws its skin (state 0); the image can be replaced while running (e.g. a background override).
class SImageWnd : public SWindow {
    Q_OBJECT
public:
    explicit SImageWnd(QWidget* parent = nullptr);
    QString className() const override { return QStringLiteral("img"); }
    bool isKindOf(QStringView kind) const override;
    // Replaces what is drawn by this picture, stretched over the element; a null image restores the skin.
    void setImage(const QImage& image);
    bool hasOwnImage() const { return ownImage_ != nullptr; }
    int drawState() const override { return kStateNormal; }

protected:
    bool drawsSomething() const override { return ownImage_ || SWindow::drawsSomething(); }
    void paintSkin(QPainter& p, int state) override;

private:
    std::unique_ptr<ImageFrameSkin> ownImage_;
};

// "imgbtn": a button drawn with a three-state skin (normal, hover, pushed; checked draws as pushed), text
// centred, a click raises the command event. With "animate" set, state changes fade over a short time.
// It never shows a tool tip.
class SImageButton : public SWindow {
    Q_OBJECT
public:
    explicit SImageButton(QWidget* parent = nullptr);
    QString className() const override { return QStringLiteral("imgbtn"); }
    bool isKindOf(QStringView kind) const override;
    bool setAttribute(const QString& name, const QString& value) override;
    bool animated() const { return animate_; }
    void setAnimated(bool on) { animate_ = on; }
    // Length of a state fade.
    static constexpr int kFadeMs = 150;

protected:
    bool event(QEvent* e) override;
    void paintSkin(QPainter& p, int state) override;
    void onStateChanged(int oldState, int newState) override;

private:
    bool animate_ = false;
    int fadeFrom_ = -1;
    qreal fade_ = 1.0;
    QPointer<QVariantAnimation> animation_;
};

// "text": a static text; sized to its text when the layout gives no size; lets the mouse through.
class SStatic : public SWindow {
    Q_OBJECT
public:
    explicit SStatic(QWidget* parent = nullptr);
    QString className() const override { return QStringLiteral("text"); }
    bool isKindOf(QStringView kind) const override;
    void setText(const QString& text) override;
    QSize desiredSize() const override;
    int drawState() const override { return isEnabled() ? kStateNormal : kStateDisabled; }
};

// "caption": dragging it with the left button moves the top-level window.
class SCaption : public SWindow {
    Q_OBJECT
public:
    explicit SCaption(QWidget* parent = nullptr);
    QString className() const override { return QStringLiteral("caption"); }
    bool isKindOf(QStringView kind) const override;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    std::optional<QPoint> dragOffset_;
};

// "page": one page of a tab control, with a title.
class STabPage : public SWindow {
    Q_OBJECT
public:
    explicit STabPage(QWidget* parent = nullptr);
    QString className() const override { return QStringLiteral("page"); }
    bool isKindOf(QStringView kind) const override;
    bool setAttribute(const QString& name, const QString& value) override;
    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }

private:
    QString title_;
};

// "tabctrl": pages with titles, switched by index or by title. It draws no tab headers (the layouts give
// them zero size) and takes no keyboard focus; every page fills the control.
class STabCtrl : public SWindow {
    Q_OBJECT
public:
    explicit STabCtrl(QWidget* parent = nullptr);
    QString className() const override { return QStringLiteral("tabctrl"); }
    bool isKindOf(QStringView kind) const override;
    bool setAttribute(const QString& name, const QString& value) override;
    void createChildren(const pugi::xml_node& node) override;

    int pageCount() const { return int(pages_.size()); }
    STabPage* page(int index) const;
    // The first page with exactly this title, or nullptr.
    STabPage* page(QStringView title) const;
    int pageIndex(QStringView title) const;
    // Appends a page; returns its index.
    int insertPage(STabPage* page);
    int curSel() const { return curSel_; }
    // Shows page `index`; false (nothing changes) for an index out of range.
    bool setCurSel(int index);
    // Shows the page with this title; false when there is none.
    bool setCurSel(QStringView title);

Q_SIGNALS:
    void currentChanged(int index);

protected:
    void onLoaded() override;

private:
    std::vector<QPointer<STabPage>> pages_;
    int curSel_ = -1;
    int initialSel_ = 0;
};

} // namespace velorin::ui
