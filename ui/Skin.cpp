#include "ui/Skin.h"

#include "model/Log.h"

#include <QPainter>
#include <QPainterPath>
#include <pugixml.hpp>

namespace velorin::ui {
namespace {

QSize logicalSize(const QImage& image, int columns, int rows) {
    if (image.isNull() || columns <= 0 || rows <= 0)
        return {};
    const qreal dpr = image.devicePixelRatio() > 0 ? image.devicePixelRatio() : 1.0;
    return QSize(qRound(image.width() / columns / dpr), qRound(image.height() / rows / dpr));
}

QSize parseSize(const char* text) {
    const QStringList parts = QString::fromUtf8(text).split(u',');
    if (parts.size() != 2)
        return {};
    bool okW = false, okH = false;
    const int w = parts[0].trimmed().toInt(&okW);
    const int h = parts[1].trimmed().toInt(&okH);
    if (!okW || !okH || w < 0 || h < 0 || w > 4096 || h > 4096)
        return {};
    return QSize(w, h);
}

} // namespace

void ImageFrameSkin::draw(QPainter& painter, const QRect& rect, int) const {
    if (!rect.isValid())
        return;
    const QImage& image = image_.get();
    if (!image.isNull())
        painter.drawImage(QRectF(rect), image, QRectF(image.rect()));
}

QSize ImageFrameSkin::naturalSize() const {
    return logicalSize(image_.get(), 1, 1);
}

ImageListSkin::ImageListSkin(QImage image, int states, bool vertical)
    : ImageListSkin(SkinImage(std::move(image)), states, vertical) {}

ImageListSkin::ImageListSkin(SkinImage image, int states, bool vertical)
    : image_(std::move(image)), states_(std::clamp(states, 1, 64)), vertical_(vertical) {}

void ImageListSkin::draw(QPainter& painter, const QRect& rect, int state) const {
    if (!rect.isValid())
        return;
    const QImage& image = image_.get();
    if (image.isNull())
        return;
    const int s = effectiveState(state);
    QRect source;
    if (vertical_) {
        const int h = image.height() / states_;
        source = QRect(0, s * h, image.width(), h);
    } else {
        const int w = image.width() / states_;
        source = QRect(s * w, 0, w, image.height());
    }
    if (source.isEmpty())
        return;
    painter.drawImage(QRectF(rect), image, QRectF(source));
}

QSize ImageListSkin::naturalSize() const {
    const QImage& image = image_.get();
    return vertical_ ? logicalSize(image, 1, states_) : logicalSize(image, states_, 1);
}

void ColorRectSkin::draw(QPainter& painter, const QRect& rect, int state) const {
    const QColor c = color(state);
    if (c.isValid() && rect.isValid())
        painter.fillRect(rect, c);
}

MarkSkin::MarkSkin(std::vector<Mark> marks, QSize size, QColor color, QColor hoverColor)
    : marks_(std::move(marks)), size_(size), color_(color), hoverColor_(hoverColor) {
    if (marks_.empty())
        marks_.push_back(Mark::None);
}

void MarkSkin::draw(QPainter& painter, const QRect& rect, int state) const {
    const int s = effectiveState(state);
    const QColor c = (s == 1 && hoverColor_.isValid()) ? hoverColor_ : color_;
    const QRectF r = QRectF(rect).adjusted(rect.width() * 0.25, rect.height() * 0.25, -rect.width() * 0.25,
                                           -rect.height() * 0.25);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    switch (marks_[size_t(s)]) {
    case Mark::None:
        break;
    case Mark::Check: {
        QPainterPath path;
        path.moveTo(r.left(), r.center().y());
        path.lineTo(r.left() + r.width() * 0.4, r.bottom());
        path.lineTo(r.right(), r.top());
        painter.setPen(QPen(c, 2));
        painter.drawPath(path);
        break;
    }
    case Mark::Radio:
        painter.setPen(Qt::NoPen);
        painter.setBrush(c);
        painter.drawEllipse(r.center(), r.width() / 3, r.height() / 3);
        break;
    case Mark::Arrow: {
        QPainterPath path;
        path.moveTo(r.left() + r.width() * 0.3, r.top());
        path.lineTo(r.right() - r.width() * 0.2, r.center().y());
        path.lineTo(r.left() + r.width() * 0.3, r.bottom());
        path.closeSubpath();
        painter.setPen(Qt::NoPen);
        painter.setBrush(c);
        painter.drawPath(path);
        break;
    }
    }
    painter.restore();
}

void SkinPool::add(const QString& name, std::shared_ptr<Skin> skin) {
    if (!name.isEmpty() && skin)
        skins_.insert(name, std::move(skin));
}

Skin* SkinPool::find(QStringView name) const {
    if (name.isEmpty())
        return nullptr;
    const auto it = skins_.constFind(name.toString());
    if (it != skins_.constEnd())
        return it->get();
    for (auto i = skins_.constBegin(); i != skins_.constEnd(); ++i)
        if (i.key().compare(name, Qt::CaseInsensitive) == 0)
            return i->get();
    return nullptr;
}

namespace {

// imgframe and imglist; nullptr when the skin is refused.
std::shared_ptr<Skin> imageSkin(const pugi::xml_node& node, const QString& kind, const QString& name,
                                const ImageSource& images) {
    const QString src = QString::fromUtf8(node.attribute("src").as_string());
    // Decoded when the skin is first drawn or measured.
    SkinImage image;
    if (images) {
        image = SkinImage(std::function<QImage()>([images, src, name] {
            QImage decoded = images(src);
            if (decoded.isNull())
                qCWarning(lcSoui) << "skin" << name << "has no image" << src;
            return decoded;
        }));
    } else {
        qCWarning(lcSoui) << "skin" << name << "has no image" << src;
        image = SkinImage(QImage());
    }
    if (kind == u"imgframe")
        return std::make_shared<ImageFrameSkin>(std::move(image));
    const int states = node.attribute("states").as_int(1);
    if (states < 1 || states > 64) {
        qCWarning(lcSoui) << "skin" << name << "has an unusable state count";
        return nullptr;
    }
    return std::make_shared<ImageListSkin>(std::move(image), states,
                                           node.attribute("vertical").as_int(0) != 0);
}

// nullptr when not even the normal colour is usable.
std::shared_ptr<Skin> colorRectSkin(const pugi::xml_node& node, const QString& name) {
    std::vector<QColor> colors;
    for (const char* attr : {"normal", "hover", "pushed", "disable"}) {
        const pugi::xml_attribute a = node.attribute(attr);
        if (!a)
            break;
        const QColor c = parseQColor(QString::fromUtf8(a.as_string()));
        if (!c.isValid()) {
            qCWarning(lcSoui) << "skin" << name << "has a bad colour" << a.as_string();
            break;
        }
        colors.push_back(c);
    }
    if (colors.empty())
        return nullptr;
    QSize size;
    if (node.attribute("height"))
        size = QSize(0, std::clamp(node.attribute("height").as_int(0), 0, 4096));
    return std::make_shared<ColorRectSkin>(std::move(colors), size);
}

std::shared_ptr<Skin> markSkin(const pugi::xml_node& node) {
    std::vector<MarkSkin::Mark> marks;
    for (const QString& m : QString::fromUtf8(node.attribute("marks").as_string()).split(u',')) {
        const QString t = m.trimmed();
        marks.push_back(t == u"check"   ? MarkSkin::Mark::Check
                        : t == u"radio" ? MarkSkin::Mark::Radio
                        : t == u"arrow" ? MarkSkin::Mark::Arrow
                                        : MarkSkin::Mark::None);
    }
    return std::make_shared<MarkSkin>(
        std::move(marks), parseSize(node.attribute("size").as_string()),
        parseQColor(QString::fromUtf8(node.attribute("color").as_string())),
        parseQColor(QString::fromUtf8(node.attribute("colorHover").as_string())));
}

} // namespace

int SkinPool::loadTable(const QByteArray& xml, const ImageSource& images) {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.constData(), size_t(xml.size()))) {
        qCWarning(lcSoui) << "skin table cannot be parsed";
        return -1;
    }
    const pugi::xml_node root = doc.document_element();
    int added = 0;
    for (pugi::xml_node node : root.children()) {
        if (node.type() != pugi::node_element)
            continue;
        const QString kind = QString::fromUtf8(node.name());
        const QString name = QString::fromUtf8(node.attribute("name").as_string());
        if (name.isEmpty()) {
            qCWarning(lcSoui) << "skin without a name skipped";
            continue;
        }
        std::shared_ptr<Skin> skin;
        if (kind == u"imgframe" || kind == u"imglist") {
            skin = imageSkin(node, kind, name, images);
        } else if (kind == u"colorrect") {
            skin = colorRectSkin(node, name);
        } else if (kind == u"mark") {
            skin = markSkin(node);
        } else {
            qCWarning(lcSoui) << "unknown skin kind" << kind;
            continue;
        }
        if (!skin)
            continue;
        add(name, std::move(skin));
        ++added;
    }
    return added;
}

} // namespace velorin::ui
