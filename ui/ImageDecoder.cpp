#include "ui/ImageDecoder.h"

#include <QFile>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
// PNG only: nothing here needs another format, and fuzzing found stb's JPEG Huffman tables
// written past their end by a hostile file.
#define STBI_ONLY_PNG
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

// A decoder may fail without a reason (stb does on a PNG that ends after its header): a refusal
// still says what it was.
ImageError fail(ImageErrorKind kind, const QString& text) {
    return {kind, text.isEmpty() ? std::string("the data cannot be decoded") : text.toStdString()};
}

// Wraps tightly packed RGBA8 rows as a QImage that owns a copy in premultiplied ARGB32.
QImage fromRgba(const unsigned char* pixels, int width, int height) {
    const QImage view(pixels, width, height, width * 4, QImage::Format_RGBA8888);
    return view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// libpng through its classic interface, so that its limits are ours rather than the build's: width
// and height, the memory of one ancillary chunk and the number of cached ancillary chunks. Errors
// come back by longjmp, so each step that may fail runs in its own small function whose frame
// holds nothing that needs a destructor.
struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    QByteArrayView data;
    size_t offset = 0;
    char message[128] = {};

    PngReader() = default;
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void pngError(png_structp png, png_const_charp text) {
    auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(reader->message, sizeof reader->message, "%s", text ? text : "libpng error");
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngRead(png_structp png, png_bytep out, size_t length) {
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (length > size_t(reader->data.size()) - reader->offset)
        png_error(png, "Read beyond end of data");
    std::memcpy(out, reader->data.data() + reader->offset, length);
    reader->offset += length;
}

// Reads the header and sets the transformations to 8-bit RGBA; false with reader.message on error.
bool pngReadHeader(PngReader& reader, png_uint_32& width, png_uint_32& height) {
    if (setjmp(png_jmpbuf(reader.png)))
        return false;
    png_set_read_fn(reader.png, &reader, pngRead);
    png_set_user_limits(reader.png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(reader.png, kMaxPngChunkBytes);
    png_set_chunk_cache_max(reader.png, 128);
    png_read_info(reader.png, reader.info);
    width = png_get_image_width(reader.png, reader.info);
    height = png_get_image_height(reader.png, reader.info);
    const int colorType = png_get_color_type(reader.png, reader.info);
    png_set_expand(reader.png); // palette to RGB, low-depth grey to 8 bits, tRNS to alpha
    png_set_strip_16(reader.png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(reader.png);
    png_set_add_alpha(reader.png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(reader.png);
    png_read_update_info(reader.png, reader.info);
    if (png_get_rowbytes(reader.png, reader.info) != size_t(width) * 4)
        png_error(reader.png, "unexpected row size");
    return true;
}

bool pngReadRows(PngReader& reader, png_bytepp rows) {
    if (setjmp(png_jmpbuf(reader.png)))
        return false;
    png_read_image(reader.png, rows);
    return true;
}

class PngDecoder final : public ImageDecoder {
public:
    explicit PngDecoder(QString name) : name_(std::move(name)) {}
    QString name() const override { return name_; }

    Result<QImage, ImageError> decode(QByteArrayView data) const override {
        if (data.isEmpty() || data.size() > kMaxImageFileBytes)
            return fail(data.isEmpty() ? ImageErrorKind::NotAnImage : ImageErrorKind::TooLarge,
                        QStringLiteral("image data of unusable size"));
        if (auto sound = pngChunkListSound(data); !sound)
            return sound.error();
        PngReader reader;
        reader.data = data;
        reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, pngError, pngWarning);
        if (reader.png)
            reader.info = png_create_info_struct(reader.png);
        if (!reader.info)
            return fail(ImageErrorKind::OutOfMemory, QStringLiteral("out of memory"));
        png_uint_32 width = 0, height = 0;
        if (!pngReadHeader(reader, width, height))
            return fail(ImageErrorKind::NotAnImage, QString::fromLatin1(reader.message));
        if (!imageSizeAllowed(width, height))
            return fail(ImageErrorKind::TooLarge,
                        QStringLiteral("image of %1 by %2 is too large").arg(width).arg(height));
        std::vector<unsigned char> pixels(size_t(width) * height * 4);
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = pixels.data() + size_t(y) * width * 4;
        if (!pngReadRows(reader, rows.data()))
            return fail(ImageErrorKind::NotAnImage, QString::fromLatin1(reader.message));
        return fromRgba(pixels.data(), int(width), int(height));
    }

private:
    QString name_;
};

// stb gathers the image-data chunks into a buffer it grows on demand. For an empty chunk before any
// data that buffer is still null, and stb hands memcpy a null pointer with a length of 0: harmless,
// but undefined, and sanitizers rightly report it. Empty image-data chunks carry nothing, so a copy
// without them decodes to the same picture. Only called on a PNG whose chunk list is sound.
QByteArray withoutEmptyImageData(QByteArrayView png) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(png.data());
    QByteArray out;
    qsizetype at = 8;
    qsizetype copied = 0;
    while (at + 12 <= png.size()) {
        const quint32 length = quint32(bytes[at]) << 24 | quint32(bytes[at + 1]) << 16 |
                               quint32(bytes[at + 2]) << 8 | bytes[at + 3];
        if (length == 0 && std::memcmp(bytes + at + 4, "IDAT", 4) == 0) {
            out.append(png.data() + copied, at - copied);
            copied = at + 12;
        }
        at += 12 + qsizetype(length);
    }
    if (copied == 0)
        return QByteArray::fromRawData(png.data(), png.size());
    out.append(png.data() + copied, png.size() - copied);
    return out;
}

class StbDecoder final : public ImageDecoder {
public:
    QString name() const override { return QStringLiteral("imgdecoder-stb"); }

    Result<QImage, ImageError> decode(QByteArrayView data) const override {
        if (data.isEmpty() || data.size() > kMaxImageFileBytes)
            return fail(data.isEmpty() ? ImageErrorKind::NotAnImage : ImageErrorKind::TooLarge,
                        QStringLiteral("image data of unusable size"));
        if (auto sound = pngChunkListSound(data); !sound)
            return sound.error();
        const QByteArray input = data.startsWith("\x89PNG")
                                     ? withoutEmptyImageData(data)
                                     : QByteArray::fromRawData(data.data(), data.size());
        const auto* bytes = reinterpret_cast<const stbi_uc*>(input.constData());
        const int len = int(input.size());
        int w = 0, h = 0, comp = 0;
        if (!stbi_info_from_memory(bytes, len, &w, &h, &comp))
            return fail(ImageErrorKind::NotAnImage, QString::fromLatin1(stbi_failure_reason()));
        if (!imageSizeAllowed(w, h))
            return fail(ImageErrorKind::TooLarge,
                        QStringLiteral("image of %1 by %2 is too large").arg(w).arg(h));
        std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(bytes, len, &w, &h, &comp, 4),
                                                         stbi_image_free);
        if (!pixels)
            return fail(ImageErrorKind::NotAnImage, QString::fromLatin1(stbi_failure_reason()));
        return fromRgba(pixels.get(), w, h);
    }
};

} // namespace

Status<ImageError> pngChunkListSound(QByteArrayView data) {
    static constexpr unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const size_t size = size_t(data.size());
    if (size < sizeof signature || std::memcmp(bytes, signature, sizeof signature) != 0)
        return Done{}; // not a PNG: the chunk rules do not apply
    auto be32 = [bytes](size_t at) {
        return quint32(bytes[at]) << 24 | quint32(bytes[at + 1]) << 16 | quint32(bytes[at + 2]) << 8 |
               bytes[at + 3];
    };
    // Every chunk must lie inside the data, so the image data chunks together can never claim more
    // than the file holds: a decoder that gathers them sizes its buffer from honest lengths.
    size_t at = sizeof signature;
    while (at < size) {
        // length, type, data, CRC
        if (size - at < 12)
            return fail(ImageErrorKind::NotAnImage,
                        QStringLiteral("PNG chunk header cut off at byte %1").arg(at));
        const quint32 length = be32(at);
        if (length > 0x7fffffffu || length > size - at - 12)
            return fail(ImageErrorKind::NotAnImage,
                        QStringLiteral("PNG chunk at byte %1 runs past the end of the data").arg(at));
        const bool isIend = std::memcmp(bytes + at + 4, "IEND", 4) == 0;
        at += 12 + size_t(length);
        if (isIend)
            break;
    }
    return Done{};
}

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

Result<QImage, ImageError> decodeImageFile(const QString& path, const ImageDecoder& decoder) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(ImageErrorKind::CannotRead, file.errorString());
    if (file.size() > kMaxImageFileBytes)
        return fail(ImageErrorKind::TooLarge, QStringLiteral("file too large"));
    const QByteArray data = file.read(kMaxImageFileBytes + 1);
    if (data.size() > kMaxImageFileBytes)
        return fail(ImageErrorKind::TooLarge, QStringLiteral("file too large"));
    return decoder.decode(data);
}

} // namespace velorin::ui
