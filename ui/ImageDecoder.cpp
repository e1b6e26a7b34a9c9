#include "ui/ImageDecoder.h"

#include <QFile>
#include <png.h>

#include <cstring>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 8192
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#pragma GCC diagnostic pop

static_assert(STBI_MAX_DIMENSIONS == velorin::ui::kMaxImageSide);

namespace velorin::ui {
namespace {

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

// Wraps tightly packed RGBA8 rows as a QImage that owns a copy in premultiplied ARGB32.
QImage fromRgba(const unsigned char* pixels, int width, int height) {
    const QImage view(pixels, width, height, width * 4, QImage::Format_RGBA8888);
    return view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

class PngDecoder final : public ImageDecoder {
public:
    explicit PngDecoder(QString name) : name_(std::move(name)) {}
    QString name() const override { return name_; }

    QImage decode(QByteArrayView data, QString* error) const override {
        if (data.isEmpty()) {
            setError(error, QStringLiteral("empty image data"));
            return {};
        }
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, data.data(), size_t(data.size()))) {
            setError(error, QString::fromLatin1(image.message));
            png_image_free(&image);
            return {};
        }
        if (!imageSizeAllowed(image.width, image.height)) {
            setError(error,
                     QStringLiteral("image of %1 by %2 is too large").arg(image.width).arg(image.height));
            png_image_free(&image);
            return {};
        }
        image.format = PNG_FORMAT_RGBA;
        std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
            setError(error, QString::fromLatin1(image.message));
            png_image_free(&image);
            return {};
        }
        return fromRgba(pixels.data(), int(image.width), int(image.height));
    }

private:
    QString name_;
};

class StbDecoder final : public ImageDecoder {
public:
    QString name() const override { return QStringLiteral("imgdecoder-stb"); }

    QImage decode(QByteArrayView data, QString* error) const override {
        if (data.isEmpty() || data.size() > kMaxImageFileBytes) {
            setError(error, QStringLiteral("image data of unusable size"));
            return {};
        }
        const auto* bytes = reinterpret_cast<const stbi_uc*>(data.data());
        const int len = int(data.size());
        int w = 0, h = 0, comp = 0;
        if (!stbi_info_from_memory(bytes, len, &w, &h, &comp)) {
            setError(error, QString::fromLatin1(stbi_failure_reason()));
            return {};
        }
        if (!imageSizeAllowed(w, h)) {
            setError(error, QStringLiteral("image of %1 by %2 is too large").arg(w).arg(h));
            return {};
        }
        std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(bytes, len, &w, &h, &comp, 4),
                                                         stbi_image_free);
        if (!pixels) {
            setError(error, QString::fromLatin1(stbi_failure_reason()));
            return {};
        }
        return fromRgba(pixels.get(), w, h);
    }
};

} // namespace

bool imageSizeAllowed(qint64 width, qint64 height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

std::unique_ptr<ImageDecoder> createImageDecoder(QStringView name) {
    if (name.compare(u"imgdecoder-png", Qt::CaseInsensitive) == 0)
        return std::make_unique<PngDecoder>(QStringLiteral("imgdecoder-png"));
    if (name.compare(u"imgdecoder-gdip", Qt::CaseInsensitive) == 0)
        return std::make_unique<PngDecoder>(QStringLiteral("imgdecoder-gdip"));
    if (name.compare(u"imgdecoder-stb", Qt::CaseInsensitive) == 0)
        return std::make_unique<StbDecoder>();
    return nullptr;
}

QImage decodeImageFile(const QString& path, const ImageDecoder& decoder, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return {};
    }
    if (file.size() > kMaxImageFileBytes) {
        setError(error, QStringLiteral("file too large"));
        return {};
    }
    const QByteArray data = file.read(kMaxImageFileBytes + 1);
    if (data.size() > kMaxImageFileBytes) {
        setError(error, QStringLiteral("file too large"));
        return {};
    }
    return decoder.decode(data, error);
}

} // namespace velorin::ui
