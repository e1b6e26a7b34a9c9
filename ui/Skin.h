// Skins: named looks that elements draw themselves with, each with a number of states.
//
// State numbers follow the buttons: 0 normal, 1 hover, 2 pushed (also checked), 3 disabled. A skin that
// lacks the state asked for draws its state 0.
#pragma once

#include "ui/Color.h"

#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace pugi {
class xml_node;
}

namespace velorin::ui {

class Skin {
public:
    virtual ~Skin() = default;
    // Draws state `state` into `rect`; a state the skin does not have is drawn as state 0.
    virtual void draw(QPainter& painter, const QRect& rect, int state) const = 0;
    virtual int states() const = 0;
    // Size of one state at scale 100 in device-independent pixels; empty when the skin has no size.
    virtual QSize naturalSize() const = 0;
    // The state actually drawn for a requested state.
    int effectiveState(int state) const { return state >= 0 && state < states() ? state : 0; }
};

// The picture of a skin, either given or decoded on first use: the pictures of pages that are
// never shown cost neither the decoding nor the memory. Used on the UI thread only.
class SkinImage {
public:
    SkinImage() = default;
    explicit SkinImage(QImage image) : image_(std::move(image)), loaded_(true) {}
    explicit SkinImage(std::function<QImage()> load) : load_(std::move(load)) {}
    const QImage& get() const {
        if (!loaded_) {
            loaded_ = true;
            if (load_)
                image_ = load_();
            load_ = nullptr;
        }
        return image_;
    }

private:
    mutable std::function<QImage()> load_;
    mutable QImage image_;
    mutable bool loaded_ = false;
};

// One picture stretched over the rectangle.
class ImageFrameSkin final : public Skin {
public:
    explicit ImageFrameSkin(QImage image) : image_(std::move(image)) {}
    explicit ImageFrameSkin(SkinImage image) : image_(std::move(image)) {}
    void draw(QPainter& painter, const QRect& rect, int state) const override;
    int states() const override { return 1; }
    QSize naturalSize() const override;
    const QImage& image() const { return image_.get(); }

private:
    SkinImage image_;
};

// N states of equal size side by side (or stacked when vertical).
class ImageListSkin final : public Skin {
public:
    ImageListSkin(QImage image, int states, bool vertical = false);
    ImageListSkin(SkinImage image, int states, bool vertical = false);
    void draw(QPainter& painter, const QRect& rect, int state) const override;
    int states() const override { return states_; }
    QSize naturalSize() const override;
    const QImage& image() const { return image_.get(); }

private:
    SkinImage image_;
    int states_;
    bool vertical_;
};

// A filled rectangle, one colour per state (normal, hover, pushed, disabled); missing colours are absent
// states. An optional fixed height serves separators.
class ColorRectSkin final : public Skin {
public:
    explicit ColorRectSkin(std::vector<QColor> colors, QSize size = {})
        : colors_(std::move(colors)), size_(size) {}
    void draw(QPainter& painter, const QRect& rect, int state) const override;
    int states() const override { return int(colors_.size()); }
    QSize naturalSize() const override { return size_; }
    QColor color(int state) const {
        return colors_.empty() ? QColor() : colors_[size_t(effectiveState(state))];
    }

private:
    std::vector<QColor> colors_;
    QSize size_;
};

// Symbols drawn in code, one per state: "check", "radio", "arrow" or "none".
class MarkSkin final : public Skin {
public:
    enum class Mark { None, Check, Radio, Arrow };
    MarkSkin(std::vector<Mark> marks, QSize size, QColor color, QColor hoverColor);
    void draw(QPainter& painter, const QRect& rect, int state) const override;
    int states() const override { return int(marks_.size()); }
    QSize naturalSize() const override { return size_; }

private:
    std::vector<Mark> marks_;
    QSize size_;
    QColor color_;
    QColor hoverColor_;
};

// Loads an image resource by "TYPE:NAME" (picking the @2x rendering when asked); the skin pool's way of
// reaching the package.
using ImageSource = std::function<QImage(const QString& ref)>;

// The named skins. Names are matched exactly first, then without regard to case.
class SkinPool {
public:
    void add(const QString& name, std::shared_ptr<Skin> skin);
    Skin* find(QStringView name) const;
    bool contains(QStringView name) const { return find(name) != nullptr; }
    int size() const { return int(skins_.size()); }

    // Reads a skin table (<skin> with imgframe, imglist, colorrect and mark children); returns how many
    // skins were added, -1 when the document cannot be parsed. Entries that make no sense are logged and
    // skipped; a skin whose image is missing is kept with an empty picture.
    int loadTable(const QByteArray& xml, const ImageSource& images);

private:
    QHash<QString, std::shared_ptr<Skin>> skins_;
};

} // namespace velorin::ui
