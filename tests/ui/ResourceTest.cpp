#include "ui/ImageDecoder.h"
#include "ui/Resources.h"

#include "UiTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace velorin::ui;

namespace {

TEST(ResourcePackage, LookupIgnoresCaseOfTypeAndName) {
    const ResourcePackage& pkg = ResourcePackage::embedded();
    const auto stored = pkg.bytes(u"LAYOUT:ps3page");
    ASSERT_TRUE(stored.has_value());
    for (const char16_t* ref : {u"layout:PS3PAGE", u"Layout:Ps3Page", u" LAYOUT : ps3page "}) {
        const auto again = pkg.bytes(ref);
        ASSERT_TRUE(again.has_value()) << QString::fromUtf16(ref).toStdString();
        EXPECT_EQ(*again, *stored);
    }
    EXPECT_TRUE(pkg.contains(u"smenuex:menuex_Fun"));
    EXPECT_TRUE(pkg.contains(u"SMENUEX:MENUEX_FUN"));
    EXPECT_TRUE(pkg.contains(u"uidef:xml_init"));
    EXPECT_NE(pkg.bytes(u"LAYOUT:ps3page"), pkg.bytes(u"LAYOUT:ps4page"));
}

TEST(ResourcePackage, MissingAndMalformedReferencesGiveNothing) {
    const ResourcePackage& pkg = ResourcePackage::embedded();
    for (const char16_t* ref :
         {u"LAYOUT:nopage", u"LAYOUT", u":ps3page", u"LAYOUT:", u"", u"IMG:ps3", u"ps3page:LAYOUT"})
        EXPECT_FALSE(pkg.bytes(ref).has_value()) << QString::fromUtf16(ref).toStdString();
    EXPECT_EQ(ResourcePackage::splitRef(u"smenuex:menuex_Fun"),
              std::make_pair(QStringLiteral("smenuex"), QStringLiteral("menuex_Fun")));
    EXPECT_EQ(ResourcePackage::splitRef(u"no colon"), std::make_pair(QString(), QString()));
}

TEST(ResourcePackage, HoldsEveryResourceTheProgramNames) {
    const ResourcePackage& pkg = ResourcePackage::embedded();
    for (const char16_t* ref :
         {u"UIDEF:XML_INIT", u"LAYOUT:XML_MAINWND", u"LAYOUT:ps3page", u"LAYOUT:ps4page",
          u"LAYOUT:switchpage", u"LAYOUT:xboxpage", u"values:string", u"values:color", u"values:skin",
          u"translator:lang_cn", u"translator:lang_jp", u"SMENUEX:menuex_Fun", u"XML:SYS_XML_SKIN"})
        EXPECT_TRUE(pkg.contains(ref)) << QString::fromUtf16(ref).toStdString();
}

// The pictures come from the artwork build; when it is part of the build every image must decode at the
// size and state count the layouts rely on.
TEST(ResourcePackage, ImagesHaveTheirSizes) {
    Toolkit& tk = test::toolkit();
    if (!tk.package().contains(u"IMG:background_png"))
        GTEST_SKIP() << "artwork not part of this build";
    struct Case {
        const char16_t* ref;
        QSize size;
    } cases[] = {{u"IMG:background_png", {800, 600}},  {u"IMG:ps3_png", {701, 400}},
                 {u"IMG:ps4_png", {701, 400}},         {u"IMG:switch_png", {701, 400}},
                 {u"IMG:xbox_png", {701, 400}},        {u"IMG:x_png", {102, 38}},
                 {u"IMG:mini_png", {102, 38}},         {u"IMG:tablebutton_png", {390, 38}},
                 {u"IMG:tablebutton2_png", {414, 38}}, {u"IMG:loadbutton_png", {312, 38}},
                 {u"IMG:savebutton_png", {330, 38}},   {u"IMG:custombox_png", {330, 32}},
                 {u"IMG:status_png", {10, 10}}};
    for (const Case& c : cases) {
        const QImage image = tk.loadImage(c.ref, 1.0);
        EXPECT_EQ(image.size(), c.size) << QString::fromUtf16(c.ref).toStdString();
        const QImage hi = tk.loadImage(c.ref, 2.0);
        EXPECT_EQ(hi.deviceIndependentSize().toSize(), c.size) << QString::fromUtf16(c.ref).toStdString();
        EXPECT_EQ(hi.size(), c.size * 2) << QString::fromUtf16(c.ref).toStdString();
    }
    EXPECT_FALSE(tk.loadIcon(u"ICON_LOGO").isNull());
    EXPECT_GE(tk.loadIcon(u"icon_logo").availableSizes().size(), 5);
}

TEST(ResourcePackage, AFolderOfFilesIsIndexedWithoutAManifest) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("keyboard"));
    QFile f(dir.filePath(QStringLiteral("keyboard/KeyTable.xml")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<keys/>");
    f.close();
    const ResourcePackage pkg(dir.path());
    ASSERT_TRUE(pkg.bytes(u"KEYBOARD:keytable").has_value());
    EXPECT_EQ(*pkg.bytes(u"keyboard:KEYTABLE"), QByteArray("<keys/>"));
    EXPECT_EQ(pkg.names(u"keyboard"), QStringList{QStringLiteral("KeyTable")});
}

// ---- Image decoders
// --------------------------------------------------------------------------------------------

QByteArray encodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A PNG whose header claims `width` x `height` (the image data is a single empty row, never reached).
QByteArray pngWithHeader(quint32 width, quint32 height) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&png](const char* type, const QByteArray& data) {
        QByteArray body(type, 4);
        body += data;
        char len[4];
        qToBigEndian(quint32(data.size()), len);
        png.append(len, 4);
        png += body;
        char crc[4];
        qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))),
                     crc);
        png.append(crc, 4);
    };
    QByteArray ihdr(13, '\0');
    qToBigEndian(width, ihdr.data());
    qToBigEndian(height, ihdr.data() + 4);
    ihdr[8] = 8; // bit depth
    ihdr[9] = 6; // RGBA
    chunk("IHDR", ihdr);
    chunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
    chunk("IEND", QByteArray());
    return png;
}

TEST(ImageDecoders, ChosenByName) {
    for (const char16_t* name : {u"imgdecoder-png", u"imgdecoder-gdip", u"imgdecoder-stb", u"IMGDECODER-PNG"})
        EXPECT_NE(createImageDecoder(name), nullptr) << QString::fromUtf16(name).toStdString();
    EXPECT_EQ(createImageDecoder(u"imgdecoder-wic"), nullptr);
    EXPECT_EQ(createImageDecoder(u""), nullptr);
}

TEST(ImageDecoders, EveryDecoderGivesTheSamePixels) {
    test::app();
    QImage source(7, 5, QImage::Format_RGBA8888);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            source.setPixelColor(x, y, QColor(x * 30, y * 50, 200, x == 0 ? 255 : 128 + y));
    const QByteArray png = encodePng(source);
    const QImage expected = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (const char16_t* name : {u"imgdecoder-png", u"imgdecoder-gdip", u"imgdecoder-stb"}) {
        const auto decoder = createImageDecoder(name);
        const auto image = decoder->decode(png);
        ASSERT_TRUE(image) << image.error().detail;
        EXPECT_EQ(*image, expected) << QString::fromUtf16(name).toStdString();
    }
}

TEST(ImageDecoders, HostileInputIsRefusedWithoutDecoding) {
    const QByteArray valid = pngWithHeader(4, 4);
    using K = ImageErrorKind;
    // Where the kind is None, the two decoders refuse in their own words: one sees a size over the
    // limits, the other a header it will not read.
    const std::pair<QByteArray, ImageErrorKind> cases[] = {
        {QByteArray(), K::NotAnImage},                      // nothing
        {QByteArray("not an image at all"), K::NotAnImage}, // garbage
        {valid.left(20), K::NotAnImage},                    // cut inside the header
        {valid.left(33), K::NotAnImage}, // ends after its header chunk (stb gives no reason for it)
        {pngWithHeader(kMaxImageSide + 1, 1), K::None},             // too wide
        {pngWithHeader(1, 100000), K::None},                        // too high
        {pngWithHeader(kMaxImageSide, kMaxImageSide), K::TooLarge}, // too many pixels in all
        {pngWithHeader(0x7fffffff, 0x7fffffff), K::None},
    };
    for (const char16_t* name : {u"imgdecoder-png", u"imgdecoder-stb"}) {
        const auto decoder = createImageDecoder(name);
        int i = 0;
        for (const auto& [data, kind] : cases) {
            const auto image = decoder->decode(data);
            const std::string what = QString::fromUtf16(name).toStdString() + " case " + std::to_string(i++);
            ASSERT_FALSE(image) << what;
            EXPECT_FALSE(image.error().detail.empty()) << what;
            EXPECT_NE(image.kind(), K::None) << what;
            if (kind != K::None) {
                EXPECT_EQ(image.kind(), kind) << what << ": " << image.error().detail;
            }
        }
    }
    EXPECT_TRUE(imageSizeAllowed(800, 600));
    EXPECT_FALSE(imageSizeAllowed(0, 600));
    EXPECT_FALSE(imageSizeAllowed(-1, -1));
}

// Chunk lists with forged lengths are refused by the chunk walk before either decoder starts, so no
// decoder sizes a buffer from them. The first case is a fuzzer's find: a 2 by 2 picture whose second
// image-data chunk claims about 1.2 GB, for which stb asked for 2 GiB.
TEST(ImageDecoders, ForgedChunkLengthsAreRefusedBeforeDecoding) {
    QByteArray lengthPastEnd = pngWithHeader(2, 2);
    qToBigEndian(quint32(0x7fffff00), lengthPastEnd.data() + 33); // the IDAT chunk's length
    QByteArray overLimit = pngWithHeader(2, 2);
    qToBigEndian(quint32(0xfffffff0), overLimit.data() + 33);
    const QByteArray cases[] = {
        QByteArray::fromBase64(
            "iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAYAAABytg0kAAAAEUlEQVR4nGP4z8DwH2hlaWdoR8oH+WdZDSRL"
            "AAARSURBVHicY4I="),
        lengthPastEnd, overLimit, pngWithHeader(2, 2).left(40), // cut inside a chunk header
    };
    for (const char16_t* name : {u"imgdecoder-png", u"imgdecoder-stb"}) {
        const auto decoder = createImageDecoder(name);
        for (const QByteArray& data : cases) {
            const auto image = decoder->decode(data);
            ASSERT_FALSE(image);
            EXPECT_EQ(image.kind(), ImageErrorKind::NotAnImage);
            EXPECT_EQ(image.error().detail.rfind("PNG chunk", 0), 0u)
                << QString::fromUtf16(name).toStdString() << ": " << image.error().detail;
        }
    }
    EXPECT_TRUE(pngChunkListSound(pngWithHeader(2, 2)));
    EXPECT_TRUE(pngChunkListSound(QByteArray("BM not a PNG")));
}

// An empty image-data chunk before the data is legal and changes nothing in the picture (stb would
// otherwise copy from a null buffer, which the sanitizer builds stop on).
TEST(ImageDecoders, AnEmptyImageDataChunkBeforeTheDataDecodesTheSame) {
    test::app();
    const QImage source = test::solidImage({3, 2}, Qt::red);
    const QByteArray png = encodePng(source);
    const qsizetype idat = png.indexOf("IDAT") - 4;
    ASSERT_GT(idat, 8);
    QByteArray withEmpty = png.left(idat);
    withEmpty += QByteArray("\0\0\0\0IDAT\x35\xaf\x06\x1e", 12); // length 0, type, CRC of "IDAT"
    withEmpty += png.mid(idat);
    for (const char16_t* name : {u"imgdecoder-png", u"imgdecoder-stb"}) {
        const auto image = createImageDecoder(name)->decode(withEmpty);
        ASSERT_TRUE(image) << QString::fromUtf16(name).toStdString() << ": " << image.error().detail;
        EXPECT_EQ(*image, source.convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << QString::fromUtf16(name).toStdString();
    }
}

// stb decodes PNG only: its JPEG reader writes past its Huffman tables on hostile files.
TEST(ImageDecoders, StbTakesNoJpeg) {
    test::app();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(test::solidImage({4, 4}, Qt::red).save(&buffer, "JPG"));
    const auto image = createImageDecoder(u"imgdecoder-stb")->decode(jpeg);
    ASSERT_FALSE(image);
    EXPECT_EQ(image.kind(), ImageErrorKind::NotAnImage);
    EXPECT_FALSE(image.error().detail.empty());
}

TEST(ImageDecoders, FilesAreReadWithABound) {
    QTemporaryDir dir;
    const auto decoder = createImageDecoder(u"imgdecoder-gdip");
    const auto missing = decodeImageFile(dir.filePath(QStringLiteral("missing.png")), *decoder);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.kind(), ImageErrorKind::CannotRead);
    EXPECT_FALSE(missing.error().detail.empty());
    QFile f(dir.filePath(QStringLiteral("small.png")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(encodePng(test::solidImage({3, 2}, Qt::red)));
    f.close();
    const auto image = decodeImageFile(f.fileName(), *decoder);
    ASSERT_TRUE(image) << image.error().detail;
    EXPECT_EQ(image->size(), QSize(3, 2));
}

} // namespace
