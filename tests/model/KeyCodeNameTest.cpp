// The box text the window shows: the key table's names, and the display texts for the mouse codes.
#include "model/KeyCodeName.h"
#include "model/DisplayTexts.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace velorin;

namespace {

class KeyCodeNameTest : public ::testing::Test {
protected:
    void SetUp() override { displayTexts().resetToBuiltIn(); }
    void TearDown() override { displayTexts().resetToBuiltIn(); }
};

} // namespace

TEST_F(KeyCodeNameTest, KeysByNameAndMouseCodesByTheCurrentDisplayTexts) {
    EXPECT_EQ(KeyCodeName(0x04), "A");
    EXPECT_EQ(KeyCodeName(0x27), "0");
    EXPECT_EQ(KeyCodeName(0x45), "F12");
    EXPECT_EQ(KeyCodeName(0x59), "1/End");
    EXPECT_TRUE(KeyCodeName(0x2D).isEmpty()); // HID minus: no name, same box text as nothing
    EXPECT_EQ(KeyCodeName(0x2D), KeyCodeName(KEY_NONE));
    EXPECT_EQ(KeyCodeName(MOUSE_LCLICK), QStringLiteral("鼠标左键"));
    EXPECT_EQ(KeyCodeName(MOUSE_RCLICK), QStringLiteral("鼠标右键"));
    EXPECT_EQ(KeyCodeName(MOUSE_MCLICK), QStringLiteral("鼠标中键"));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("lang.xml");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"(<root><Lclick name="Left"/><Rclick name="Right"/></root>)");
    file.close();
    displayTexts().loadOverrideFile(path);
    EXPECT_EQ(KeyCodeName(MOUSE_LCLICK), "Left");
    EXPECT_EQ(KeyCodeName(MOUSE_RCLICK), "Right");
    EXPECT_EQ(KeyCodeName(MOUSE_MCLICK), ""); // missing entry blanks the built-in text
}
