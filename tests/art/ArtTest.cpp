// Checks of the artwork: rendered sizes and states, lamps on their buttons, boxes clear of the pad body,
// and the page screenshots composed from the rendered pictures.
#include "PadPositions.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace velorin::arttest {
namespace {

const QString kArtSrc = QStringLiteral(VELORIN_SOURCE_DIR "/res/art");
const QString kArtPng = QStringLiteral(VELORIN_ART_PNG_DIR);
const QString kLayoutDir = QStringLiteral(VELORIN_SOURCE_DIR "/res/layout");

// One QGuiApplication for the whole run (fonts, SVG rendering), gone before static destruction begins.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen"); // the checks never need a display
        }
        app_ = std::make_unique<QGuiApplication>(argc_, argv_.data());
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[10] = "art_tests";
    std::array<char*, 2> argv_{name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

// GoogleTest takes ownership of the environment.
[[maybe_unused]] ::testing::Environment* const kGuiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QImage loadPng(const QString& name) {
    QImage img(kArtPng + QLatin1Char('/') + name + QStringLiteral(".png"));
    return img.convertToFormat(QImage::Format_ARGB32);
}

// ---------------------------------------------------------------------------------------------------
// Positions: from the page layout when it exists, else the table.

struct Positions {
    std::vector<Placement> list;
    bool fromLayout = false;
    bool layoutUnreadable = false;    // the layout exists but is not well-formed XML
    std::vector<std::string> missing; // buttons the layout lacks
};

std::optional<std::pair<int, int>> parsePos(const QString& pos) {
    const auto parts = pos.split(QLatin1Char(','));
    if (parts.size() < 2) {
        return std::nullopt;
    }
    bool okX = false, okY = false;
    const int x = parts[0].trimmed().toInt(&okX);
    const int y = parts[1].trimmed().toInt(&okY);
    if (!okX || !okY) {
        return std::nullopt;
    }
    return std::pair{x, y};
}

Positions positionsFor(const PadPage& page) {
    Positions out;
    QFile file(kLayoutDir + QLatin1Char('/') + qs(page.console) + QStringLiteral("page.xml"));
    if (!file.open(QIODevice::ReadOnly)) {
        out.list.assign(page.table.begin(), page.table.end());
        return out;
    }
    std::map<QString, std::pair<int, int>> named;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            const auto attrs = xml.attributes();
            if (attrs.hasAttribute(QStringLiteral("name")) && attrs.hasAttribute(QStringLiteral("pos"))) {
                if (auto p = parsePos(attrs.value(QStringLiteral("pos")).toString())) {
                    named[attrs.value(QStringLiteral("name")).toString()] = *p;
                }
            }
        }
    }
    out.fromLayout = !xml.hasError();
    out.layoutUnreadable = xml.hasError();
    if (!out.fromLayout) {
        out.list.assign(page.table.begin(), page.table.end());
        return out;
    }
    for (const Placement& ref : page.table) {
        const QString suffix = qs(page.console) + QStringLiteral("_key_") + qs(ref.button);
        const auto box = named.find(QStringLiteral("btn_") + suffix);
        const auto lamp = named.find(QStringLiteral("img_") + suffix);
        if (box == named.end() || lamp == named.end()) {
            out.missing.emplace_back(ref.button);
            continue;
        }
        out.list.push_back(
            {ref.button, box->second.first, box->second.second, lamp->second.first, lamp->second.second});
    }
    return out;
}

// One element of an SVG rendered alone, in place, on a transparent 701x400 canvas.
QImage renderElement(QSvgRenderer& svg, const QString& id, QSize size) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p, id, svg.boundsOnElement(id));
    p.end();
    return img;
}

double luminance(QColor c) {
    return 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
}

// ---------------------------------------------------------------------------------------------------
// Rendered sizes and image-list states.

struct ImageSpec {
    const char* name;
    int w, h;
    int states;
};

constexpr ImageSpec kImages[] = {
    {"background", 800, 600, 1}, {"ps3", 701, 400, 1},        {"ps4", 701, 400, 1},
    {"switch", 701, 400, 1},     {"xbox", 701, 400, 1},       {"x", 102, 38, 3},
    {"mini", 102, 38, 3},        {"tablebutton", 390, 38, 3}, {"tablebutton2", 414, 38, 3},
    {"loadbutton", 312, 38, 3},  {"savebutton", 330, 38, 3},  {"custombox", 330, 32, 3},
    {"status", 10, 10, 1},       {"icon", 256, 256, 1},
};

TEST(ArtImages, RenderedAtExactAndDoubleSizeWithAlpha) {
    for (const ImageSpec& spec : kImages) {
        SCOPED_TRACE(spec.name);
        const QString name = QString::fromLatin1(spec.name);
        const QImage one(kArtPng + QLatin1Char('/') + name + QStringLiteral(".png"));
        const QImage two(kArtPng + QLatin1Char('/') + name + QStringLiteral("@2x.png"));
        ASSERT_FALSE(one.isNull());
        ASSERT_FALSE(two.isNull());
        EXPECT_EQ(one.size(), QSize(spec.w, spec.h));
        EXPECT_EQ(two.size(), QSize(2 * spec.w, 2 * spec.h));
        EXPECT_TRUE(one.hasAlphaChannel());
        EXPECT_EQ(one.depth(), 32);
    }
    for (int size : {16, 24, 32, 48, 256}) {
        const QImage icon(kArtPng + QStringLiteral("/icon_%1.png").arg(size));
        ASSERT_FALSE(icon.isNull()) << size;
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel());
    }
}

TEST(ArtImages, EveryStateOfAnImageListIsDrawnAndDistinct) {
    for (const ImageSpec& spec : kImages) {
        if (spec.states < 2) {
            continue;
        }
        SCOPED_TRACE(spec.name);
        const QImage img = loadPng(QString::fromLatin1(spec.name));
        ASSERT_EQ(img.width() % spec.states, 0);
        const int w = img.width() / spec.states;
        std::vector<QImage> states;
        for (int s = 0; s < spec.states; ++s) {
            states.push_back(img.copy(s * w, 0, w, img.height()));
            int opaque = 0;
            for (int y = 0; y < img.height(); ++y) {
                for (int x = 0; x < w; ++x) {
                    opaque += qAlpha(states.back().pixel(x, y)) > 128 ? 1 : 0;
                }
            }
            EXPECT_GT(opaque, 20) << "state " << s << " is (nearly) empty";
        }
        for (int a = 0; a < spec.states; ++a) {
            for (int b = a + 1; b < spec.states; ++b) {
                EXPECT_NE(states[a], states[b]) << "states " << a << " and " << b << " look the same";
            }
        }
    }
}

TEST(ArtImages, SvgSourcesDeclareTheirPixelSize) {
    for (const ImageSpec& spec : kImages) {
        SCOPED_TRACE(spec.name);
        QSvgRenderer svg(kArtSrc + QLatin1Char('/') + QString::fromLatin1(spec.name) +
                         QStringLiteral(".svg"));
        ASSERT_TRUE(svg.isValid());
        EXPECT_EQ(svg.defaultSize(), QSize(spec.w, spec.h));
    }
}

TEST(ArtImages, LampIsABrightDotWithADarkRim) {
    const QImage lamp = loadPng(QStringLiteral("status"));
    ASSERT_EQ(lamp.size(), QSize(kLamp, kLamp));
    const QColor core = QColor::fromRgba(lamp.pixel(5, 5));
    EXPECT_EQ(core.alpha(), 255);
    EXPECT_GT(luminance(core), 0.6);
    EXPECT_EQ(qAlpha(lamp.pixel(0, 0)), 0) << "the corners stay transparent: the lamp is round";
    // the rim is darker than the core, so the dot stands out on light buttons as well
    const QColor rim = QColor::fromRgba(lamp.pixel(5, 0));
    EXPECT_LT(luminance(rim), luminance(core) - 0.3);
}

// ---------------------------------------------------------------------------------------------------
// Pad pictures: lamps over their own buttons, boxes over clear space.

class PadArt : public ::testing::TestWithParam<PadPage> {};

} // namespace

void PrintTo(const PadPage& page, std::ostream* os) {
    *os << page.console;
}

namespace {

TEST_P(PadArt, EveryLampCentreLiesOnItsOwnButton) {
    const PadPage& page = GetParam();
    const Positions pos = positionsFor(page);
    EXPECT_FALSE(pos.layoutUnreadable) << "the page layout is not well-formed";
    EXPECT_TRUE(pos.missing.empty()) << "the layout lacks " << pos.missing.size() << " buttons";
    RecordProperty("positions", pos.fromLayout ? "layout" : "table");

    QSvgRenderer svg(kArtSrc + QLatin1Char('/') + qs(page.console) + QStringLiteral(".svg"));
    ASSERT_TRUE(svg.isValid());
    ASSERT_EQ(svg.defaultSize(), QSize(701, 400));
    const QImage shipped = loadPng(qs(page.console));
    ASSERT_EQ(shipped.size(), QSize(701, 400));

    std::map<std::string_view, QImage> shapes;
    for (const Placement& p : pos.list) {
        const QString id = qs(p.button);
        ASSERT_TRUE(svg.elementExists(id)) << "no element with id " << p.button;
        shapes[p.button] = renderElement(svg, id, svg.defaultSize());
    }
    for (const Placement& p : pos.list) {
        SCOPED_TRACE(std::string(p.button));
        const int cx = p.lampX + kLamp / 2;
        const int cy = p.lampY + kLamp / 2;
        ASSERT_TRUE(QRect(0, 0, 701, 400).contains(QRect(p.lampX, p.lampY, kLamp, kLamp)));
        EXPECT_GE(qAlpha(shapes[p.button].pixel(cx, cy)), 200) << "lamp centre is off the button";
        for (const auto& [other, img] : shapes) {
            if (other != p.button) {
                EXPECT_EQ(qAlpha(img.pixel(cx, cy)), 0) << "lamp centre also lies on " << other;
            }
        }
        EXPECT_EQ(qAlpha(shipped.pixel(cx, cy)), 255) << "the rendered picture is not opaque under the lamp";
    }
}

TEST_P(PadArt, NoBoxCoversThePadBody) {
    const PadPage& page = GetParam();
    const Positions pos = positionsFor(page);
    QSvgRenderer svg(kArtSrc + QLatin1Char('/') + qs(page.console) + QStringLiteral(".svg"));
    ASSERT_TRUE(svg.isValid());
    ASSERT_TRUE(svg.elementExists(QStringLiteral("body")));
    const QImage body = renderElement(svg, QStringLiteral("body"), svg.defaultSize());
    const QRect canvas(0, 0, 701, 400);
    for (const Placement& p : pos.list) {
        SCOPED_TRACE(std::string(p.button));
        ASSERT_TRUE(svg.elementExists(qs(p.button)));
        const QRect box = QRect(p.boxX, p.boxY, kBoxW, kBoxH);
        // a lit lamp must never hide under a box either
        for (const Placement& q : pos.list) {
            EXPECT_FALSE(
                QRect(q.boxX, q.boxY, kBoxW, kBoxH).intersects(QRect(p.lampX, p.lampY, kLamp, kLamp)))
                << "lamp lies under the box of " << q.button;
        }
        EXPECT_TRUE(canvas.contains(box)) << "box leaves the page";
        int covered = 0;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            for (int x = box.left(); x <= box.right(); ++x) {
                covered += canvas.contains(x, y) && qAlpha(body.pixel(x, y)) > 8 ? 1 : 0;
            }
        }
        EXPECT_EQ(covered, 0) << "box covers " << covered << " pixels of the pad body";
        // every button's own shape is clear of the boxes as well
        const QImage shape = renderElement(svg, qs(p.button), svg.defaultSize());
        for (const Placement& q : pos.list) {
            const QRect other(q.boxX, q.boxY, kBoxW, kBoxH);
            bool hit = false;
            for (int y = other.top(); y <= other.bottom() && !hit; ++y) {
                for (int x = other.left(); x <= other.right() && !hit; ++x) {
                    hit = canvas.contains(x, y) && qAlpha(shape.pixel(x, y)) > 8;
                }
            }
            EXPECT_FALSE(hit) << "button lies under the box of " << q.button;
        }
    }
}

// The lamp must stand out from the button under it on every pad.
TEST_P(PadArt, LampReadsOverEveryButton) {
    const PadPage& page = GetParam();
    const Positions pos = positionsFor(page);
    const QImage pad = loadPng(qs(page.console));
    const QImage lamp = loadPng(QStringLiteral("status"));
    ASSERT_FALSE(pad.isNull());
    ASSERT_FALSE(lamp.isNull());
    const double core = luminance(QColor::fromRgba(lamp.pixel(5, 5)));
    for (const Placement& p : pos.list) {
        // the button's colour just around the lamp, where it would glow
        double sum = 0;
        int n = 0;
        for (int dy = -1; dy <= kLamp; ++dy) {
            for (int dx = -1; dx <= kLamp; ++dx) {
                const bool ring = dx == -1 || dy == -1 || dx == kLamp || dy == kLamp;
                if (ring) {
                    sum += luminance(QColor::fromRgba(pad.pixel(p.lampX + dx, p.lampY + dy)));
                    ++n;
                }
            }
        }
        EXPECT_GT(core - sum / n, 0.25) << p.button << ": lamp too close to the button's brightness";
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, PadArt, ::testing::ValuesIn(kPages),
                         [](const auto& info) { return std::string(info.param.console); });

// ---------------------------------------------------------------------------------------------------
// Page pictures: the window composed from the rendered pictures, every lamp on and every box filled,
// to look at the art's lamps and boxes together. Written into the build tree only: the README shows
// the real window (scripts/window-screenshots).

QString sampleKey(std::string_view button) {
    static const std::map<std::string_view, const char*> names = {
        {"L2", "Q"},
        {"L1", "E"},
        {"SELECT", "Tab"},
        {"ARROW_UP", "Up"},
        {"ARROW_DOWN", "Down"},
        {"ARROW_L", "Left"},
        {"ARROW_R", "Right"},
        {"lyhih_UP", "W"},
        {"lyhih_DOWN", "S"},
        {"lxhih_L", "A"},
        {"lxhih_R", "D"},
        {"LSTICK_KEY", "Left Shift"},
        {"R2", "Mouse Left"},
        {"R1", "Mouse Right"},
        {"START", "Esc"},
        {"A", "Space"},
        {"B", "Left Ctrl"},
        {"X", "R"},
        {"Y", "F"},
        {"RSTICK_KEY", "V"},
        {"HOME", "F1"},
        {"SHARE", "F12"},
        {"CAPTURE", "Print Screen"},
    };
    const auto it = names.find(button);
    return it == names.end() ? QStringLiteral("?") : QString::fromLatin1(it->second);
}

void drawState(QPainter& p, const QImage& list, int states, int state, QPoint at) {
    const int w = list.width() / states;
    p.drawImage(at, list, QRect(state * w, 0, w, list.height()));
}

void drawText(QPainter& p, const QString& text, QRect r, int px, QColor c, int flags = Qt::AlignCenter) {
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPixelSize(px);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, flags, text);
}

QImage composePage(const PadPage& page, const Positions& pos) {
    QImage win(800, 600, QImage::Format_ARGB32_Premultiplied);
    win.fill(Qt::transparent);
    QPainter p(&win);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.drawImage(0, 0, loadPng(QStringLiteral("background")));
    drawText(p, QStringLiteral("Orlesta引导盒映射软件"), QRect(119, 22, 400, 30), 20,
             QColor(0xe2, 0xe2, 0xe2), Qt::AlignLeft | Qt::AlignTop);
    drawState(p, loadPng(QStringLiteral("mini")), 3, 0, {723, 4});
    drawState(p, loadPng(QStringLiteral("x")), 3, 0, {756, 4});

    const QColor grey(0xad, 0xad, 0xad);
    const QImage tab = loadPng(QStringLiteral("tablebutton"));
    const QImage tab2 = loadPng(QStringLiteral("tablebutton2"));
    struct Tab {
        const char* console;
        const char* text;
        int x;
    };
    for (const Tab& t : {Tab{"ps3", "PS3", 89}, Tab{"ps4", "PS4", 206}, Tab{"switch", "SWITCH", 331},
                         Tab{"xbox", "XBOX", 455}}) {
        const QImage& img = std::string_view(t.console) == "ps3" ? tab : tab2;
        const int w = img.width() / 3;
        drawState(p, img, 3, std::string_view(t.console) == page.console ? 2 : 0, {t.x, 80});
        drawText(p, QString::fromLatin1(t.text), QRect(t.x, 80, w, 38), 14, grey);
    }
    struct Cmd {
        const char* image;
        const char* text;
        int x, y;
    };
    for (const Cmd& c : {Cmd{"loadbutton", "选择文件", 275, 532}, Cmd{"savebutton", "保存文件", 363, 531},
                         Cmd{"savebutton", "恢复默认", 458, 531}, Cmd{"savebutton", "应用", 553, 531}}) {
        const QImage img = loadPng(QString::fromLatin1(c.image));
        drawState(p, img, 3, 0, {c.x, c.y});
        drawText(p, QString::fromUtf8(c.text), QRect(c.x, c.y, img.width() / 3, 38), 12, grey);
    }

    p.drawImage(kPageX, kPageY, loadPng(qs(page.console)));
    const QImage box = loadPng(QStringLiteral("custombox"));
    const QImage lamp = loadPng(QStringLiteral("status"));
    for (const Placement& b : pos.list) {
        const QPoint at(kPageX + b.boxX, kPageY + b.boxY);
        drawState(p, box, 3, 0, at);
        drawText(p, sampleKey(b.button), QRect(at, QSize(kBoxW, kBoxH)), 12, QColor(0xe6, 0x62, 0x19));
    }
    for (const Placement& b : pos.list) {
        p.drawImage(kPageX + b.lampX, kPageY + b.lampY, lamp);
    }
    p.end();
    return win;
}

TEST(ArtScreenshots, PagesWithEveryLampOnAndEveryBoxFilled) {
    const QString outDir = QStringLiteral(VELORIN_BINARY_DIR "/docs/screenshots");
    ASSERT_TRUE(QDir().mkpath(outDir));
    for (const PadPage& page : kPages) {
        SCOPED_TRACE(std::string(page.console));
        const QImage shot = composePage(page, positionsFor(page));
        ASSERT_EQ(shot.size(), QSize(800, 600));
        const QString file = qs(page.console) + QStringLiteral(".png");
        EXPECT_TRUE(shot.save(outDir + QLatin1Char('/') + file));
    }
}

} // namespace
} // namespace velorin::arttest
