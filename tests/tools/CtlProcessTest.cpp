// The velorinctl binary: help, exit codes and messages for bad input, files that stay untouched,
// and a clean end of monitor on SIGTERM.
#include "KeyNames.h"
#include "KvfJson.h"
#include "TestSupport.h"

#include "tests/support/SimController.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

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
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
};

TEST_F(CtlBinary, HelpForEveryVerb) {
    for (const char* verb :
         {"list", "read", "apply", "select", "show", "export", "import", "set", "diff", "monitor"}) {
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
    const QString existing = file("existing.kvf");
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
    };
    const QByteArray before = readBytes(existing);
    for (const Case& c : cases) {
        const Ran r = runBinary(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(u' ').toStdString() << '\n' << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.message))) << c.message << '\n'
                                                                    << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out)) << c.args.join(u' ').toStdString();
        EXPECT_EQ(readBytes(existing), before) << c.args.join(u' ').toStdString();
    }
    // No temporary files were left behind either.
    QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{QStringLiteral("a.kvf"), QStringLiteral("bad.json"),
                                  QStringLiteral("existing.kvf"), QStringLiteral("good.json"),
                                  QStringLiteral("long.kvf"), QStringLiteral("short.kvf"),
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
