// The velorinctl binary: help, exit codes and messages for bad input, files that stay untouched,
// and a clean end of monitor on SIGTERM.
#include "KeyNames.h"
#include "KvfJson.h"
#include "TestSupport.h"

#include "tests/support/SimController.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::ctl;
using namespace velorin::ctl::test;

namespace {

struct Ran {
    int code = -1;
    QString out;
    QString err;
};

Ran runBinary(const QStringList& args, const QString& cwd = {}) {
    QProcess p;
    if (!cwd.isEmpty())
        p.setWorkingDirectory(cwd);
    p.start(QStringLiteral(VELORINCTL_PATH), args);
    Ran r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class CtlBinary : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApp();
        ASSERT_TRUE(dir.isValid());
        writeBytes(file("a.kvf"), bytesOf(patternBlock()));
        writeBytes(file("short.kvf"), bytesOf(patternBlock()).left(107));
        writeBytes(file("long.kvf"), bytesOf(patternBlock()) + QByteArray(1, '\0'));
        writeBytes(file("bad.json"), "{\"format\": \"velorin-kvf\", \"version\": 1, \"consoles\": {");
        QByteArray json = blockToJson(patternBlock());
        writeBytes(file("good.json"), json);
        writeBytes(file("unknownkey.json"), json.replace("\"L2\": \"", "\"L2\": \"NoSuchKey"));
        writeBytes(file("existing.kvf"), bytesOf(patternBlock(5, 5)));
        writeBytes(file("empty.kvf"), QByteArray());
        // A 1x1 PNG named .kvf.
        writeBytes(file("png.kvf"),
                   QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk"
                                          "YPhfDwAChwGA60e6kgAAAABJRU5ErkJggg=="));
        qunsetenv("VELORIN_WEB_URL");
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
};

TEST_F(CtlBinary, HelpForEveryVerb) {
    for (const char* verb : {"list", "read", "apply", "select", "show", "export", "import", "set", "diff",
                             "monitor", "check", "link", "import-link", "sheet"}) {
        const Ran r = runBinary({QString::fromLatin1(verb), QStringLiteral("--help")});
        EXPECT_EQ(r.code, 0) << verb;
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: velorinctl"))) << verb;
        EXPECT_TRUE(r.out.contains(QString::fromLatin1(verb))) << verb;
        const Ran h = runBinary({QStringLiteral("help"), QString::fromLatin1(verb)});
        EXPECT_EQ(h.out, r.out) << verb;
    }
    const Ran top = runBinary({QStringLiteral("--help")});
    EXPECT_EQ(top.code, 0);
    EXPECT_TRUE(top.out.contains(QStringLiteral("exit codes")));
    const Ran keys = runBinary({QStringLiteral("help"), QStringLiteral("keys")});
    EXPECT_TRUE(keys.out.contains(QStringLiteral("mouse-left")));
    EXPECT_TRUE(keys.out.contains(QStringLiteral("KP_Enter")));
    const Ran none = runBinary({});
    EXPECT_EQ(none.code, kExitUsage);
    EXPECT_TRUE(none.err.contains(QStringLiteral("usage:")));
}

TEST_F(CtlBinary, BadInputFailsClearlyAndWritesNothing) {
    struct Case {
        QStringList args;
        int code;
        const char* message;
    };
    const QString out = file("out.kvf");
    const QString sheet = file("sheet.html");
    const QString existing = file("existing.kvf");
    const QString shortLink = QStringLiteral("http://localhost/#m=") + QString(143, u'A');
    const Case cases[] = {
        {{QStringLiteral("frobnicate")}, kExitUsage, "unknown verb"},
        {{QStringLiteral("show"), file("a.kvf"), QStringLiteral("--bogus")},
         kExitUsage,
         "unknown option --bogus"},
        {{QStringLiteral("show")}, kExitUsage, "missing arguments"},
        {{QStringLiteral("show"), file("a.kvf"), file("a.kvf")}, kExitUsage, "too many arguments"},
        {{QStringLiteral("show"), file("a.kvf"), QStringLiteral("--verify")},
         kExitUsage,
         "does not take --verify"},
        {{QStringLiteral("show"), file("short.kvf")}, kExitBadInput, "107 bytes long"},
        {{QStringLiteral("show"), file("long.kvf")}, kExitBadInput, "109 bytes long"},
        {{QStringLiteral("show"), file("missing.kvf")}, kExitBadInput, "no such file"},
        {{QStringLiteral("export"), file("short.kvf"), QStringLiteral("-o"), out},
         kExitBadInput,
         "exactly 108"},
        {{QStringLiteral("import"), file("bad.json"), QStringLiteral("-o"), out},
         kExitBadInput,
         "not valid JSON"},
        {{QStringLiteral("import"), file("unknownkey.json"), QStringLiteral("-o"), out},
         kExitBadInput,
         "unknown key \"NoSuchKey"},
        {{QStringLiteral("import"), file("a.kvf"), QStringLiteral("-o"), out},
         kExitBadInput,
         "not valid JSON"},
        {{QStringLiteral("import"), file("bad.json"), QStringLiteral("-o"), existing},
         kExitBadInput,
         "nothing was written"},
        {{QStringLiteral("import"), file("good.json")}, kExitUsage, "import needs -o"},
        {{QStringLiteral("set"), existing, QStringLiteral("ps5"), QStringLiteral("L2=A")},
         kExitUsage,
         "unknown console \"ps5\""},
        {{QStringLiteral("set"), existing, QStringLiteral("ps3"), QStringLiteral("L4=A")},
         kExitUsage,
         "PS3 has no button \"L4\""},
        {{QStringLiteral("set"), existing, QStringLiteral("xbox"), QStringLiteral("CAPTURE=A")},
         kExitUsage,
         "XBOX has no button \"CAPTURE\""},
        {{QStringLiteral("set"), existing, QStringLiteral("ps3"), QStringLiteral("L1=B"),
          QStringLiteral("L2=Hyper")},
         kExitUsage,
         "unknown key \"Hyper\""},
        {{QStringLiteral("set"), existing, QStringLiteral("ps3"), QStringLiteral("L2")},
         kExitUsage,
         "is not BUTTON=KEY"},
        {{QStringLiteral("set"), file("short.kvf"), QStringLiteral("ps3"), QStringLiteral("L2=A")},
         kExitBadInput,
         "107 bytes"},
        {{QStringLiteral("set"), existing, QStringLiteral("ps3"), QStringLiteral("L2=A"),
          QStringLiteral("-o"), dir.path()},
         kExitCannotWrite,
         "cannot"},
        {{QStringLiteral("diff"), file("a.kvf"), file("long.kvf")}, kExitBadInput, "109 bytes"},
        {{QStringLiteral("apply"), file("short.kvf")}, kExitBadInput, "107 bytes"},
        {{QStringLiteral("apply"), file("a.kvf"), QStringLiteral("--console"), QStringLiteral("nes")},
         kExitUsage,
         "unknown console"},
        {{QStringLiteral("monitor"), QStringLiteral("--console"), QStringLiteral("nes")},
         kExitUsage,
         "unknown console"},
        {{QStringLiteral("--list-buttons"), QStringLiteral("--console"), QStringLiteral("nes")},
         kExitUsage,
         "unknown console \"nes\"; use ps3, ps4, switch or xbox\n"},
        {{QStringLiteral("--list-buttons"), QStringLiteral("--console=")},
         kExitUsage,
         "unknown console \"\""},
        {{QStringLiteral("check"), file("empty.kvf")}, kExitBadInput, "it is 0 bytes long"},
        {{QStringLiteral("check"), file("png.kvf")}, kExitBadInput, "it is 70 bytes long"},
        {{QStringLiteral("sheet"), file("empty.kvf"), QStringLiteral("-o"), sheet},
         kExitBadInput,
         "0 bytes long"},
        {{QStringLiteral("sheet"), file("png.kvf"), QStringLiteral("-o"), file("sheet.svg")},
         kExitBadInput,
         "70 bytes long"},
        {{QStringLiteral("sheet"), file("a.kvf"), QStringLiteral("-o"), out},
         kExitUsage,
         "needs -o SHEET.html"},
        {{QStringLiteral("sheet"), file("a.kvf"), QStringLiteral("-o"), sheet, QStringLiteral("--lang"),
          QStringLiteral("fr")},
         kExitUsage,
         "unknown language \"fr\""},
        {{QStringLiteral("link"), file("a.kvf")}, kExitUsage, "give --base URL"},
        {{QStringLiteral("import-link"), shortLink, QStringLiteral("-o"), out},
         kExitBadInput,
         "not a mapping link: the mapping after m= is 143 characters long"},
        {{QStringLiteral("import-link"), shortLink + u'A'}, kExitUsage, "import-link needs -o"},
        {{QStringLiteral("apply"), file("a.kvf"), QStringLiteral("--json")},
         kExitUsage,
         "only with --dry-run"},
        {{QStringLiteral("apply"), file("a.kvf"), QStringLiteral("--dry-run"), QStringLiteral("--verify")},
         kExitUsage,
         "exclude each other"},
    };
    const QByteArray before = readBytes(existing);
    for (const Case& c : cases) {
        const Ran r = runBinary(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(u' ').toStdString() << '\n' << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.message))) << c.message << '\n'
                                                                    << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out)) << c.args.join(u' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(sheet)) << c.args.join(u' ').toStdString();
        EXPECT_EQ(readBytes(existing), before) << c.args.join(u' ').toStdString();
    }
    // No temporary files were left behind either.
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files,
              (QStringList{QStringLiteral("a.kvf"), QStringLiteral("bad.json"), QStringLiteral("empty.kvf"),
                           QStringLiteral("existing.kvf"), QStringLiteral("good.json"),
                           QStringLiteral("long.kvf"), QStringLiteral("png.kvf"), QStringLiteral("short.kvf"),
                           QStringLiteral("unknownkey.json")}));
}

TEST_F(CtlBinary, ExportImportSetShowAndDiff) {
    // export -> import round-trips every byte, codes without a name included.
    Ran r = runBinary({QStringLiteral("export"), file("a.kvf"), QStringLiteral("-o"), file("a.json")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = runBinary({QStringLiteral("import"), file("a.json"), QStringLiteral("-o"), file("b.kvf")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(readBytes(file("b.kvf")), readBytes(file("a.kvf")));
    r = runBinary({QStringLiteral("export"), file("a.kvf")});
    EXPECT_EQ(r.out.toUtf8(), readBytes(file("a.json")));

    r = runBinary({QStringLiteral("diff"), file("a.kvf"), file("b.kvf")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.isEmpty());

    r = runBinary({QStringLiteral("set"), file("b.kvf"), QStringLiteral("switch"), QStringLiteral("l2=F5"),
                   QStringLiteral("CAPTURE=mouse-middle"), QStringLiteral("A=0x2d")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = runBinary({QStringLiteral("diff"), file("a.kvf"), file("b.kvf")});
    EXPECT_EQ(r.code, kExitDiffers);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    const WorkModeBlock a = patternBlock();
    EXPECT_EQ(lines[0],
              QStringLiteral("SWITCH A: %1 -> 0x2D").arg(keyName(a.button(ConsoleId::SWITCH, PadButton::A))));
    EXPECT_EQ(lines[1],
              QStringLiteral("SWITCH L2: %1 -> F5").arg(keyName(a.button(ConsoleId::SWITCH, PadButton::L2))));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("SWITCH CAPTURE: "))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" -> mouse-middle")));

    r = runBinary({QStringLiteral("diff"), file("a.kvf"), file("b.kvf"), QStringLiteral("--json")});
    EXPECT_EQ(r.code, kExitDiffers);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"button\": \"CAPTURE\"")));

    r = runBinary({QStringLiteral("show"), file("b.kvf")});
    ASSERT_EQ(r.code, 0);
    const QStringList rows = r.out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(rows[0].simplified(), QStringLiteral("BUTTON PS3 PS4 SWITCH XBOX"));
    for (const QString& row : rows) {
        if (row.startsWith(QStringLiteral("L2 "))) {
            EXPECT_EQ(row.simplified().section(u' ', 3, 3), QStringLiteral("F5"));
        }
        if (row.startsWith(QStringLiteral("CAPTURE "))) {
            EXPECT_EQ(row.simplified(), QStringLiteral("CAPTURE - - mouse-middle -"));
        }
    }
    r = runBinary({QStringLiteral("show"), file("b.kvf"), QStringLiteral("--json")});
    const auto shown = blockFromJson(r.out.toUtf8());
    ASSERT_TRUE(shown) << shown.error().detail;
    EXPECT_EQ(bytesOf(*shown), readBytes(file("b.kvf")));
}

TEST_F(CtlBinary, LinkCheckAndSheet) {
    // link and import-link round-trip every byte; the base comes from --base or the environment.
    Ran r = runBinary({QStringLiteral("link"), file("a.kvf"), QStringLiteral("--base"),
                       QStringLiteral("http://localhost:8765/velorin/#stale")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("http://localhost:8765/velorin/#m="))) << r.out.toStdString();
    EXPECT_EQ(r.out.size(), qsizetype(QStringLiteral("http://localhost:8765/velorin/#m=").size() + 144 + 1));
    const QString link = r.out.trimmed();
    r = runBinary({QStringLiteral("import-link"), link, QStringLiteral("-o"), file("back.kvf")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(readBytes(file("back.kvf")), readBytes(file("a.kvf")));

    qputenv("VELORIN_WEB_URL", "http://localhost:8765/velorin/");
    EXPECT_EQ(runBinary({QStringLiteral("link"), file("a.kvf")}).out.trimmed(), link);
    qunsetenv("VELORIN_WEB_URL");

    // check: exit 0 when clean, 1 with a clash or a code that names no key.
    writeBytes(file("zero.kvf"), QByteArray(108, '\0'));
    r = runBinary({QStringLiteral("check"), file("zero.kvf")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              QStringLiteral("no key is given to two buttons of a console, and every code names a key\n"));
    r = runBinary({QStringLiteral("set"), file("zero.kvf"), QStringLiteral("ps4"), QStringLiteral("R2=A"),
                   QStringLiteral("L2=a"), QStringLiteral("UP=0x2D"), QStringLiteral("-o"),
                   file("clash.kvf")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = runBinary({QStringLiteral("check"), file("clash.kvf")});
    EXPECT_EQ(r.code, kExitDiffers);
    EXPECT_EQ(r.out, QStringLiteral("PS4: A is given to L2 and R2\nPS4 UP: 0x2D names no key\n"));
    r = runBinary({QStringLiteral("check"), file("clash.kvf"), QStringLiteral("--json")});
    EXPECT_EQ(r.code, kExitDiffers);
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_FALSE(json.value(QStringLiteral("clean")).toBool(true));
    const QJsonObject ps4 = json.value(QStringLiteral("consoles")).toArray()[1].toObject();
    EXPECT_EQ(ps4.value(QStringLiteral("clashes")).toArray()[0].toObject(),
              (QJsonObject{{"key", "A"}, {"buttons", QJsonArray{"L2", "R2"}}}));

    // sheet: the language's texts from the translation documents, the format by the suffix.
    const std::pair<const char*, QStringList> languages[] = {
        {"zh", {QStringLiteral("按键映射表"), QStringLiteral("方向键上"), QStringLiteral("未分配")}},
        {"en", {QStringLiteral("Key assignments"), QStringLiteral("D-pad up"), QStringLiteral("none")}},
        {"ja", {QStringLiteral("キー割り当て表"), QStringLiteral("十字キー上"), QStringLiteral("なし")}},
    };
    for (const auto& [lang, texts] : languages) {
        for (const char* suffix : {"html", "SVG"}) {
            const QString path = file("sheet.") + QLatin1String(suffix);
            r = runBinary({QStringLiteral("sheet"), file("clash.kvf"), QStringLiteral("-o"), path,
                           QStringLiteral("--lang"), QLatin1String(lang)});
            ASSERT_EQ(r.code, 0) << lang << suffix << r.err.toStdString();
            const QString doc = QString::fromUtf8(readBytes(path));
            for (const QString& text : texts)
                EXPECT_TRUE(doc.contains(text)) << lang << suffix << " " << text.toStdString();
            EXPECT_TRUE(doc.contains(QStringLiteral(">0x2D<"))) << lang << suffix;
            if (QLatin1String(suffix) == u"SVG") {
                QXmlStreamReader xml(doc);
                while (!xml.atEnd())
                    xml.readNext();
                EXPECT_FALSE(xml.hasError()) << lang << " " << xml.errorString().toStdString();
            } else {
                EXPECT_TRUE(doc.startsWith(QStringLiteral("<!DOCTYPE html>"))) << lang;
            }
        }
    }
    r = runBinary({QStringLiteral("sheet"), file("clash.kvf"), QStringLiteral("-o"), file("default.htm")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(
        QString::fromUtf8(readBytes(file("default.htm"))).contains(QStringLiteral("<html lang=\"en\">")));
}

#ifdef VELORIN_SIM_PATH
TEST_F(CtlBinary, MonitorEndsCleanlyOnSigterm) {
    hid::SimController sim(QStringLiteral(VELORIN_SIM_PATH));
    ASSERT_TRUE(sim.start());
    QProcess p;
    p.start(QStringLiteral(VELORINCTL_PATH),
            {QStringLiteral("--simulate"), QString::fromStdString(sim.busDir()), QStringLiteral("monitor"),
             QStringLiteral("--json")});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains("\"pressed\":[\"B\",\"L1\"]"); ++i) {
        ASSERT_TRUE(sim.command(QStringLiteral("pad 80808080 0000 4200 00")));
        p.waitForReadyRead(50);
        out += p.readAllStandardOutput();
    }
    EXPECT_TRUE(out.contains("\"pressed\":[\"L1\",\"B\"]") || out.contains("\"pressed\":[\"B\",\"L1\"]"))
        << out.toStdString();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}
#endif

} // namespace
