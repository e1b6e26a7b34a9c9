#include "model/DisplayTexts.h"
#include "model/Paths.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velorin;

namespace {

class DisplayTextsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("lang.xml")) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    static QByteArray fullFile() {
        return R"(<?xml version="1.0" encoding="utf-8"?>
<root>
  <title name="My Pad Tool"/><loadcfg name="Load"/><savecfg name="Save"/><default name="Default"/>
  <applay name="Apply"/><keyboard name="Keyboard"/><Lclick name="L"/><Rclick name="R"/><Mclick name="M"/>
  <msgRestore name="Restore?"/><msgsuccess name="Done"/>
</root>)";
    }

    QTemporaryDir dir_;
    DisplayTexts texts_;
};

} // namespace

TEST_F(DisplayTextsTest, BuiltInValues) {
    EXPECT_FALSE(texts_.loaded());
    EXPECT_EQ(texts_.get(DisplayText::title), "");
    EXPECT_EQ(texts_.get(DisplayText::applay), "");
    EXPECT_EQ(texts_.get(DisplayText::keyboard), "键盘");
    EXPECT_EQ(texts_.get(DisplayText::Lclick), "鼠标左键");
    EXPECT_EQ(texts_.get(DisplayText::Rclick), "鼠标右键");
    EXPECT_EQ(texts_.get(DisplayText::Mclick), "鼠标中键");
    EXPECT_EQ(texts_.get(DisplayText::msgRestore), "是否恢复默认");
    EXPECT_EQ(texts_.get(DisplayText::msgsuccess), "烧录成功");
}

TEST_F(DisplayTextsTest, AbsentOrMalformedFileChangesNothing) {
    texts_.loadOverrideFile(dir_.filePath("missing.xml"));
    EXPECT_FALSE(texts_.loaded());
    EXPECT_EQ(texts_.get(DisplayText::keyboard), "键盘");

    texts_.loadOverrideFile(write("<root><title name=\"x\"></root>"));
    EXPECT_FALSE(texts_.loaded());
    EXPECT_EQ(texts_.get(DisplayText::title), "");
    EXPECT_EQ(texts_.get(DisplayText::msgsuccess), "烧录成功");

    texts_.loadOverrideFile(write(""));
    EXPECT_FALSE(texts_.loaded());
}

TEST_F(DisplayTextsTest, FullFileReplacesAllElevenTexts) {
    texts_.loadOverrideFile(write(fullFile()));
    ASSERT_TRUE(texts_.loaded());
    const std::array<const char*, kDisplayTextCount> expected{
        "My Pad Tool", "Load", "Save", "Default", "Apply", "Keyboard", "L", "R", "M", "Restore?", "Done"};
    for (int i = 0; i < kDisplayTextCount; ++i)
        EXPECT_EQ(texts_.get(static_cast<DisplayText>(i)), QString::fromUtf8(expected[i])) << i;
}

TEST_F(DisplayTextsTest, OnlyTitleBlanksEveryOtherText) {
    texts_.loadOverrideFile(write(R"(<root><title name="Only a title"/></root>)"));
    ASSERT_TRUE(texts_.loaded());
    EXPECT_EQ(texts_.get(DisplayText::title), "Only a title");
    for (int i = 1; i < kDisplayTextCount; ++i)
        EXPECT_EQ(texts_.get(static_cast<DisplayText>(i)), "") << displayTextKey(static_cast<DisplayText>(i));
}

TEST_F(DisplayTextsTest, WrongRootCountsAsLoadedAndBlanksEverything) {
    texts_.loadOverrideFile(write(R"(<texts><title name="x"/><keyboard name="k"/></texts>)"));
    EXPECT_TRUE(texts_.loaded());
    for (int i = 0; i < kDisplayTextCount; ++i)
        EXPECT_EQ(texts_.get(static_cast<DisplayText>(i)), "");
}

TEST_F(DisplayTextsTest, NamesAreCaseSensitive) {
    texts_.loadOverrideFile(write(
        R"(<root><lclick name="wrong case"/><Lclick Name="wrong attribute"/><Rclick name="ok"/></root>)"));
    EXPECT_EQ(texts_.get(DisplayText::Lclick), "");
    EXPECT_EQ(texts_.get(DisplayText::Rclick), "ok");
    texts_.loadOverrideFile(write(R"(<ROOT><Rclick name="ok"/></ROOT>)"));
    EXPECT_EQ(texts_.get(DisplayText::Rclick), "");
}

TEST_F(DisplayTextsTest, Utf8AndUtf16FilesWithByteOrderMark) {
    const QString xml =
        QStringLiteral("<?xml version=\"1.0\"?><root><msgsuccess name=\"写入完成 ✓\"/></root>");
    texts_.loadOverrideFile(write(QByteArray("\xEF\xBB\xBF") + xml.toUtf8()));
    EXPECT_EQ(texts_.get(DisplayText::msgsuccess), QStringLiteral("写入完成 ✓"));

    for (auto encoding : {QStringEncoder::Utf16LE, QStringEncoder::Utf16BE}) {
        QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
        const QByteArray bytes = encoder(xml);
        texts_.resetToBuiltIn();
        texts_.loadOverrideFile(write(bytes));
        ASSERT_TRUE(texts_.loaded());
        EXPECT_EQ(texts_.get(DisplayText::msgsuccess), QStringLiteral("写入完成 ✓"));
    }
}

TEST_F(DisplayTextsTest, EntitiesAreExpandedAndAttributeWhitespaceBecomesSpaces) {
    texts_.loadOverrideFile(write("<root><title name=\"a\tb\nc &amp; &#x4E2D;\"/></root>"));
    EXPECT_EQ(texts_.get(DisplayText::title), QStringLiteral("a b c & 中"));
}

TEST_F(DisplayTextsTest, OversizedFileIsNotRead) {
    QByteArray big = "<root><title name=\"x\"/>";
    big.append(QByteArray(DisplayTexts::kMaxFileSize, ' '));
    big.append("</root>");
    texts_.loadOverrideFile(write(big));
    EXPECT_FALSE(texts_.loaded());
    EXPECT_EQ(texts_.get(DisplayText::keyboard), "键盘");
}

TEST_F(DisplayTextsTest, LoadOverrideReadsLangXmlBesideTheExecutable) {
    write(R"(<root><title name="beside"/></root>)");
    setExecutableDirForTesting(dir_.path());
    texts_.loadOverride();
    setExecutableDirForTesting(QString());
    EXPECT_TRUE(texts_.loaded());
    EXPECT_EQ(texts_.get(DisplayText::title), "beside");
}

TEST(Paths, ExecutableDirIsTheFolderOfTheRunningBinary) {
    const QString dir = executableDir();
    EXPECT_TRUE(dir.endsWith(u'/'));
    EXPECT_TRUE(QFile::exists(dir + QStringLiteral("model_tests")));
}

// The bytes in memory give what the same bytes in a file give: the fuzz target relies on it.
TEST_F(DisplayTextsTest, BufferAndFileAgree) {
    QByteArray big = "<root><title name=\"x\"/>";
    big.append(QByteArray(DisplayTexts::kMaxFileSize, ' '));
    big.append("</root>");
    const QByteArray inputs[] = {fullFile(),
                                 "<root><title name=\"T\"/></root>",
                                 "<root><title",
                                 "<other/>",
                                 QByteArray("\xFF\xFE<\0r\0o\0o\0t\0/\0>\0", 16),
                                 QByteArray(),
                                 big};
    for (const QByteArray& input : inputs) {
        DisplayTexts fromFile;
        fromFile.loadOverrideFile(write(input));
        DisplayTexts fromBuffer;
        fromBuffer.loadOverrideBuffer({input.constData(), std::size_t(input.size())});
        EXPECT_EQ(fromBuffer.loaded(), fromFile.loaded()) << input.left(40).toStdString();
        for (int i = 0; i < kDisplayTextCount; ++i) {
            const auto which = static_cast<DisplayText>(i);
            EXPECT_EQ(fromBuffer.get(which), fromFile.get(which)) << input.left(40).toStdString();
        }
    }
}
