// .kvf files and the JSON layout: sizes, atomic writes, round trips and refused input.
#include "KeyNames.h"
#include "KvfFile.h"
#include "KvfJson.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::ctl;
using namespace velorin::ctl::test;

TEST(CtlKvfFile, OnlyExactly108BytesAreAKvfFile) {
    QTemporaryDir dir;
    for (const int size : {0, 1, 107, 109, 200, 5000}) {
        const QString path = dir.filePath(QStringLiteral("f%1.kvf").arg(size));
        writeBytes(path, QByteArray(size, '\x05'));
        const auto refused = readKvfFile(path);
        ASSERT_FALSE(refused) << size;
        const QString error = QString::fromStdString(refused.error().detail);
        EXPECT_TRUE(error.contains(QStringLiteral("%1 bytes long").arg(size))) << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("exactly 108"))) << error.toStdString();
    }
    const QString good = dir.filePath(QStringLiteral("good.kvf"));
    writeBytes(good, bytesOf(patternBlock()));
    const auto block = readKvfFile(good);
    ASSERT_TRUE(block.ok()) << block.error().detail;
    EXPECT_EQ(*block, patternBlock());
}

TEST(CtlKvfFile, MissingFilesDirectoriesAndDevicesAreRefused) {
    QTemporaryDir dir;
    const auto missing = readKvfFile(dir.filePath(QStringLiteral("nope.kvf")));
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error().detail.find("no such file"), std::string::npos);
    const auto folder = readKvfFile(dir.path());
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.error().detail.find("not a regular file"), std::string::npos);
    EXPECT_FALSE(readKvfFile(QStringLiteral("/dev/zero")).ok());
}

TEST(CtlKvfFile, FailedWriteLeavesTheEarlierFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.kvf"));
    writeBytes(path, bytesOf(patternBlock(1)));
    const auto written = writeKvfFile(path, patternBlock(9));
    ASSERT_TRUE(written) << (written ? std::string() : written.error().detail);
    EXPECT_EQ(readBytes(path), bytesOf(patternBlock(9)));
    // A directory in the way of the file cannot be replaced; nothing else changes.
    const QString blocked = dir.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    EXPECT_FALSE(writeKvfFile(blocked, patternBlock(2)));
    EXPECT_TRUE(QFileInfo(blocked).isDir());
    EXPECT_FALSE(writeKvfFile(dir.filePath(QStringLiteral("missing/dir/x.kvf")), patternBlock(2)));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.kvf")});
}

TEST(CtlKvfJson, EveryByteOfABlockRoundTrips) {
    // Several blocks together hold every byte value in every position class: ids, buttons,
    // bytes 6-9 and byte 26, named and unnamed codes.
    for (const uint8_t step : {1, 3, 7, 11, 101}) {
        for (const uint8_t start : {0, 0x2D, 0x80, 0xFF}) {
            const WorkModeBlock block = patternBlock(start, step);
            QString error;
            const auto back = blockFromJson(blockToJson(block), &error);
            ASSERT_TRUE(back.has_value()) << error.toStdString();
            EXPECT_EQ(bytesOf(*back), bytesOf(block)) << int(start) << ' ' << int(step);
        }
    }
}

TEST(CtlKvfJson, ButtonNamesOverrideRawAndRawIsOptional) {
    const WorkModeBlock block = patternBlock();
    QByteArray json = blockToJson(block);
    // An edited key name wins over the raw bytes it came with.
    const QByteArray from =
        "\"L2\": \"" + keyName(block.button(ConsoleId::PS4, PadButton::L2)).toLatin1() + "\"";
    const qsizetype ps4 = json.indexOf("\"ps4\"");
    const qsizetype at = json.indexOf(from, ps4);
    ASSERT_GT(at, ps4);
    json.replace(at, from.size(), "\"L2\": \"kp_enter\"");
    QString error;
    auto back = blockFromJson(json, &error);
    ASSERT_TRUE(back.has_value()) << error.toStdString();
    WorkModeBlock expected = block;
    expected.setButton(ConsoleId::PS4, PadButton::L2, 0x58);
    EXPECT_EQ(*back, expected);

    const QByteArray minimal = R"({"format":"velorin-kvf","version":1,"consoles":{
        "ps3":{"buttons":{"L2":"A","a":"mouse-left","HOME":null}},"ps4":{"id":9,"buttons":{"SHARE":45}},
        "switch":{"buttons":{"capture":"0x2d"}},"xbox":{}}})";
    back = blockFromJson(minimal, &error);
    ASSERT_TRUE(back.has_value()) << error.toStdString();
    WorkModeBlock want;
    want.record(ConsoleId::PS3)[0] = 1;
    want.record(ConsoleId::PS4)[0] = 9;
    want.record(ConsoleId::SWITCH)[0] = 4;
    want.record(ConsoleId::XBOX)[0] = 3;
    want.setButton(ConsoleId::PS3, PadButton::L2, 0x04);
    want.setButton(ConsoleId::PS3, PadButton::A, 0xA0);
    want.setButton(ConsoleId::PS4, PadButton::SHARE, 45);
    want.setButton(ConsoleId::SWITCH, PadButton::CAPTURE, 0x2D);
    EXPECT_EQ(*back, want);
}

TEST(CtlKvfJson, RefusesMalformedAndUnknownInput) {
    const QByteArray ok = blockToJson(patternBlock());
    auto with = [&](const char* from, const char* to) {
        QByteArray j = ok;
        const qsizetype at = j.indexOf(from);
        EXPECT_GE(at, 0) << from;
        return j.replace(at, qsizetype(strlen(from)), to);
    };
    const std::pair<QByteArray, const char*> cases[] = {
        {"", "not valid JSON"},
        {"{", "not valid JSON"},
        {ok.left(ok.size() / 2), "not valid JSON"},
        {"[1,2]", "must be an object"},
        {R"({"format":"other","version":1,"consoles":{}})", "\"format\""},
        {with("\"version\": 1", "\"version\": 2"), "\"version\""},
        {with("\"version\": 1", "\"version\": \"1\""), "\"version\""},
        {with("\"ps3\"", "\"ps5\""), "unknown console \"ps5\""},
        {with("\"ps3\"", "\"PS3\""), "unknown console \"PS3\""},
        {with("\"ps3\": {", "\"nes\": {}, \"ps3\": {"), "unknown console \"nes\""},
        {R"({"format":"velorin-kvf","version":1,"consoles":{"ps3":{},"ps4":{},"switch":{}}})",
         "console \"xbox\" is missing"},
        {with("\"L2\"", "\"L3\""), "unknown button \"L3\""},
        {with("\"HOME\"", "\"SHARE\""), "unknown button \"SHARE\" for ps3"},
        {with("\"L1\": \"", "\"L1\": \"Hyper"), "unknown key"},
        {with("\"L1\": \"", "\"L1\": 300, \"x\": \""), "unknown key"},
        {with("\"raw\": \"", "\"raw\": \"0"), "54 hex digits"},
        {with("\"raw\": \"", "\"raw\": \"zz"), "54 hex digits"},
        {with("\"id\": ", "\"colour\": 1, \"id\": "), "unknown field \"colour\""},
        {with("\"id\": 33,", "\"id\": 256,"), "id must be"},
        {with("\"id\": 33,", "\"id\": \"1\","), "id must be"},
        {R"({"format":"velorin-kvf","version":1,"consoles":{"ps3":{"buttons":[]},"ps4":{},"switch":{},"xbox":{}}})",
         "buttons must be an object"},
        {R"({"format":"velorin-kvf","version":1,"consoles":{"ps3":7,"ps4":{},"switch":{},"xbox":{}}})",
         "must be an object"},
        {with("\"consoles\": {", "\"consoles\": [], \"c\": {"), "\"consoles\""},
    };
    for (const auto& [json, expect] : cases) {
        QString error;
        EXPECT_FALSE(blockFromJson(json, &error).has_value()) << expect;
        EXPECT_TRUE(error.contains(QString::fromUtf8(expect))) << expect << " / " << error.toStdString();
    }
}

TEST(CtlDiff, NamesButtonsAndSpareBytes) {
    WorkModeBlock a;
    WorkModeBlock b;
    b.setButton(ConsoleId::PS4, PadButton::SHARE, 0x04);
    b.record(ConsoleId::XBOX)[26] = 0x10;
    b.record(ConsoleId::SWITCH)[0] = 0x04;
    b.record(ConsoleId::PS3)[7] = 0x01;
    const auto diffs = diffBlocks(a, b);
    ASSERT_EQ(diffs.size(), 4u);
    EXPECT_EQ(describeByte(diffs[0].console, diffs[0].byte), QStringLiteral("PS3 byte 7"));
    EXPECT_EQ(describeByte(diffs[1].console, diffs[1].byte), QStringLiteral("PS4 SHARE"));
    EXPECT_EQ(describeByte(diffs[2].console, diffs[2].byte), QStringLiteral("SWITCH id (byte 0)"));
    EXPECT_EQ(describeByte(diffs[3].console, diffs[3].byte), QStringLiteral("XBOX byte 26"));
    EXPECT_TRUE(diffBlocks(b, b).empty());
}

// The file offsets are the block's layout: PS3 at 0, XBOX at 81; a button byte of XBOX takes PS3's,
// its id (0), spare bytes (6-9) and byte 26 stay.
TEST(CtlCopy, CopiesIntoTheTargetRecordOnlyAndRefusesOneConsole) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.kvf")), out = dir.filePath(QStringLiteral("out.kvf"));
    const QByteArray before = bytesOf(patternBlock());
    writeBytes(in, before);

    RunResult r = runCtl({QStringLiteral("copy"), in, QStringLiteral("ps3"), QStringLiteral("xbox"),
                          QStringLiteral("-o"), out});
    ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
    const QByteArray after = readBytes(out);
    ASSERT_EQ(after.size(), 108);
    for (int i = 0; i < 108; ++i) {
        const int xboxByte = i - 81;
        const bool copied = xboxByte >= 1 && xboxByte <= 25 && (xboxByte < 6 || xboxByte > 9);
        EXPECT_EQ(after[i], copied ? before[xboxByte] : before[i]) << "byte " << i;
    }
    EXPECT_EQ(readBytes(in), before); // -o leaves the input alone

    r = runCtl({QStringLiteral("copy"), in, QStringLiteral("ps4"), QStringLiteral("PS4")});
    EXPECT_EQ(r.code, kExitUsage);
    r = runCtl({QStringLiteral("copy"), in, QStringLiteral("ps4"), QStringLiteral("wii")});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(readBytes(in), before);
}
