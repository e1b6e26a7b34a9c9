// Image decoders chosen by name: libpng behind "imgdecoder-png" and "imgdecoder-gdip", stb_image behind
// "imgdecoder-stb". Every decoder yields a QImage (premultiplied ARGB32) or a null image with a reason.
// Decoded width and height are capped before any pixel memory is taken, so a hostile file cannot
// exhaust memory.
#pragma once

#include "core/Result.h"

#include <QByteArrayView>
#include <QImage>
#include <QString>
#include <QStringView>
#include <memory>

namespace velorin::ui {

inline constexpr int kMaxImageSide = 8192;
inline constexpr qint64 kMaxImagePixels = qint64(4096) * 4096;
inline constexpr qint64 kMaxImageFileBytes = 64 * 1024 * 1024;
// The most memory libpng may take for one ancillary chunk (text, ICC profile ...).
inline constexpr int kMaxPngChunkBytes = 1024 * 1024;

enum class ImageErrorKind {
    None,
    CannotRead,  // the file cannot be opened or read
    TooLarge,    // the file, the data or the image's sides are over the limits: nothing decoded
    NotAnImage,  // empty data, a broken PNG chunk list, or data the decoder cannot decode
    OutOfMemory, // the decoder could not start
};
// The detail is the reason, for the log.
using ImageError = Error<ImageErrorKind>;

class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;
    virtual QString name() const = 0;
    // Decodes one encoded image (never a null image); an error when it is not one or is too large.
    virtual Result<QImage, ImageError> decode(QByteArrayView data) const = 0;
};

// The decoder of that name (case-insensitive), or nullptr for a name we do not know.
std::unique_ptr<ImageDecoder> createImageDecoder(QStringView name);

// Walks the chunk list of data that starts with the PNG signature, before any decoder sees it:
// NotAnImage when a chunk runs past the end of the data, so that no decoder sizes a buffer from a
// forged length. Data that is not a PNG passes.
Status<ImageError> pngChunkListSound(QByteArrayView data);

// True when an image of that size may be decoded.
bool imageSizeAllowed(qint64 width, qint64 height);

// Reads a file (bounded by kMaxImageFileBytes) and decodes it.
Result<QImage, ImageError> decodeImageFile(const QString& path, const ImageDecoder& decoder);

} // namespace velorin::ui
