// Fuzzes the toolkit's parsers of outside data: the two image decoders (a "background.png" beside the
// program reaches them), translation documents, skin tables and the colour notation.
// The first byte chooses the parser; the rest is its input.
#include "ui/Color.h"
#include "ui/ImageDecoder.h"
#include "ui/Skin.h"
#include "ui/Translator.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 5) {
    case 0:
    case 1: {
        static const auto png = velorin::ui::createImageDecoder(u"imgdecoder-png");
        static const auto stb = velorin::ui::createImageDecoder(u"imgdecoder-stb");
        const auto image = (data[0] % 5 == 0 ? png : stb)->decode(input);
        if (image && (image->isNull() || !velorin::ui::imageSizeAllowed(image->width(), image->height())))
            __builtin_trap();
        if (!image && (image.error().detail.empty() || image.kind() == velorin::ui::ImageErrorKind::None))
            __builtin_trap(); // a refusal always says why
        break;
    }
    case 2: {
        velorin::ui::XmlTranslator t;
        t.loadDocument(input);
        break;
    }
    case 3: {
        velorin::ui::SkinPool pool;
        pool.loadTable(input, [](const QString&) { return QImage(); });
        break;
    }
    case 4:
        velorin::ui::parseColor(QString::fromUtf8(input));
        break;
    }
    return 0;
}
