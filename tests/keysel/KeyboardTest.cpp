#include "core/KeyCodes.h"
#include "keysel/KeyboardDialog.h"
#include "keysel/KeyboardLayout.h"

#include <QApplication>
#include <QFrame>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace velorin;
using namespace velorin::keysel;

namespace {

const KeyboardTemplate& keyboardTemplate() {
    static const KeyboardTemplate tpl = [] {
        QString error;
        std::optional<KeyboardTemplate> t = loadKeyboardTemplate(&error);
        if (!t)
            ADD_FAILURE() << "template: " << error.toStdString();
        return t.value_or(KeyboardTemplate{});
    }();
    return tpl;
}

// Shows the keyboard over an owner; `drive` runs once the dialog is up. Returns the end value.
int runKeyboard(KeyboardDialog& holder, const std::function<void(KeyboardWindow&)>& drive) {
    QWidget owner;
    owner.resize(800, 600);
    owner.show();
    holder.keyIndex = KeyboardDialog::kNoKey;
    activeKeyboard = &holder;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<KeyboardWindow*>(holder.dialogWindow.data());
        if (!w) {
            ADD_FAILURE() << "dialog window not set";
            return;
        }
        drive(*w);
        // Whatever the test did, make sure the dialog ends.
        QTimer::singleShot(300, w, [w] { w->done(42); });
    });
    return ShowKeyboard(&owner, &holder);
}

TEST(KeyboardTemplateData, HasEveryKeyAndTheUnavailableOnesAreTheZeroCodes) {
    const KeyboardTemplate& tpl = keyboardTemplate();
    EXPECT_EQ(tpl.caption, QStringLiteral("Keyboard"));
    EXPECT_EQ(tpl.sizeDu, QSize(427, 137));
    EXPECT_EQ(tpl.fontFace, QStringLiteral("Arial"));
    EXPECT_EQ(tpl.pointSize, 8);
    EXPECT_EQ(tpl.frameDu, QRect(0, 2, 415, 126));
    ASSERT_EQ(tpl.keys.size(), 101u);
    EXPECT_EQ(tpl.keyById(1205), nullptr);
    int unavailable = 0;
    for (const KeyboardKey& k : tpl.keys) {
        ASSERT_GE(k.index(), 0);
        ASSERT_LE(k.index(), 101);
        EXPECT_NE(k.index(), 54);
        // A key can be chosen exactly when the code table has a code for it.
        EXPECT_EQ(k.available, keyboardKeyCodes[std::size_t(k.index())] != 0) << k.controlId;
        unavailable += k.available ? 0 : 1;
    }
    EXPECT_EQ(unavailable, 13);

    struct Caption {
        int id;
        QString text;
    };
    const Caption captions[] = {
        {1151, QStringLiteral("~\n`")},
        {1158, QStringLiteral("&&\n7")},
        {1190, QStringLiteral("\"\n'")},
        {1203, QStringLiteral("|\n\\")},
        {1207, QString()},
        {1241, QStringLiteral(" 8\n")},
        {1240, QStringLiteral("    7\nHome")},
        {1232, QStringLiteral("Page up")},
        {1250, QStringLiteral("Enter")},
    };
    for (const Caption& c : captions) {
        const KeyboardKey* k = tpl.keyById(c.id);
        ASSERT_NE(k, nullptr) << c.id;
        EXPECT_EQ(k->text(), c.text) << c.id;
    }
    EXPECT_TRUE(tpl.keyById(1232)->multiline);
    EXPECT_FALSE(tpl.keyById(1166)->multiline);
}

TEST(KeyboardTemplateData, RejectsMalformedTemplates) {
    const char* bad[] = {
        "",
        "<dialog",
        "<window width='10' height='10'><key id='1151' x='0' y='0' width='1' height='1'/></window>",
        "<dialog width='0' height='10'><key id='1151' x='0' y='0' width='1' height='1'/></dialog>",
        "<dialog width='10' height='10'/>",
        "<dialog width='10' height='10'><key id='1150' x='0' y='0' width='1' height='1'/></dialog>",
        "<dialog width='10' height='10'><key id='1253' x='0' y='0' width='1' height='1'/></dialog>",
        "<dialog width='10' height='10'><key id='1151' x='-1' y='0' width='1' height='1'/></dialog>",
        "<dialog width='10' height='10'><key id='1151' x='0' y='0' width='99999' height='1'/></dialog>",
        "<dialog width='10' height='10'><key id='1151' x='1x' y='0' width='1' height='1'/></dialog>",
        "<dialog width='10' height='10'><key id='1151' x='0' y='0' width='1' height='1'/>"
        "<key id='1151' x='0' y='0' width='1' height='1'/></dialog>",
        "<dialog width='10' height='10' size='999'><key id='1151' x='0' y='0' width='1' "
        "height='1'/></dialog>",
    };
    for (const char* xml : bad) {
        QString error;
        EXPECT_FALSE(parseKeyboardTemplate(QByteArray(xml), &error).has_value()) << xml;
        EXPECT_FALSE(error.isEmpty()) << xml;
    }
    EXPECT_FALSE(parseKeyboardTemplate(QByteArray(kMaxTemplateBytes + 1, ' ')).has_value());
    EXPECT_TRUE(
        parseKeyboardTemplate(
            "<dialog width='10' height='10'><key id='1151' x='0' y='0' width='1' height='1'/></dialog>")
            .has_value());
}

TEST(DialogUnits, MulDivRoundsToNearest) {
    EXPECT_EQ(mulDiv(10, 6, 4), 15);
    EXPECT_EQ(mulDiv(1, 6, 4), 2);   // 1.5 rounds up
    EXPECT_EQ(mulDiv(1, 5, 4), 1);   // 1.25 rounds down
    EXPECT_EQ(mulDiv(-1, 6, 4), -2); // halves away from zero
    EXPECT_EQ(mulDiv(7, 13, 8), 11); // 11.375
    EXPECT_EQ(mulDiv(5, 5, 0), 0);
}

TEST(DialogUnits, ConvertsEachEdgeSoNeighboursShareEdges) {
    const DialogBaseUnits u{5, 13};
    EXPECT_EQ(mapDialogRect(QRect(1, 34, 14, 20), u), QRect(1, 55, 19 - 1, 88 - 55));
    const QRect a = mapDialogRect(QRect(21, 54, 14, 18), u); // Q
    const QRect b = mapDialogRect(QRect(35, 54, 14, 18), u); // W, directly right of Q
    EXPECT_EQ(a.x() + a.width(), b.x());
    EXPECT_EQ(mapDialogSize(QSize(427, 137), u), QSize(534, 223));
}

TEST(DialogUnits, BaseUnitsComeFromTheDialogFont) {
    const QFont font = dialogFont(keyboardTemplate());
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
    const DialogBaseUnits u = dialogBaseUnits(font);
    const QFontMetrics fm(font);
    const int letters =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(u.x, (letters + 26) / 52);
    EXPECT_EQ(u.y, fm.height());
    EXPECT_GT(u.x, 3);
    EXPECT_LT(u.x, 10);
}

TEST(KeyboardDialogRun, EveryAvailableKeyReturnsItsIndexAndCode) {
    const KeyboardTemplate& tpl = keyboardTemplate();
    for (const KeyboardKey& k : tpl.keys) {
        if (!k.available)
            continue;
        KeyboardDialog holder;
        const int end = runKeyboard(holder, [&](KeyboardWindow& w) {
            KeyButton* b = w.keyButton(k.controlId);
            ASSERT_NE(b, nullptr);
            QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->rect().center());
        });
        ASSERT_EQ(end, 1) << k.controlId;
        EXPECT_EQ(holder.keyIndex, k.controlId - 1151);
        EXPECT_TRUE(holder.dialogWindow.isNull());
    }
}

TEST(KeyboardDialogRun, ListedKeysGiveTheirCodes) {
    struct Case {
        int id;
        int index;
        KeyCode code;
    };
    const Case cases[] = {
        {1166, 15, 0x14}, {1151, 0, 0x35},  {1230, 79, 0x49}, {1235, 84, 0x4E},  {1207, 56, 0x2C},
        {1191, 40, 0xE1}, {1202, 51, 0xE5}, {1204, 53, 0xE0}, {1209, 58, 0xE4},  {1206, 55, 0xE2},
        {1208, 57, 0xE6}, {1240, 89, 0x5F}, {1250, 99, 0x58}, {1252, 101, 0x63},
    };
    for (const Case& c : cases) {
        KeyboardDialog holder;
        const int end = runKeyboard(
            holder, [&](KeyboardWindow& w) { QTest::mouseClick(w.keyButton(c.id), Qt::LeftButton); });
        ASSERT_EQ(end, 1);
        EXPECT_EQ(holder.keyIndex, c.index);
        EXPECT_EQ(keyCodeForKeyIndex(holder.keyIndex), c.code) << c.id;
    }
}

TEST(KeyboardDialogRun, UnavailableKeysLeaveItOpen) {
    const KeyboardTemplate& tpl = keyboardTemplate();
    KeyboardDialog holder;
    int clicked = 0;
    bool stillOpen = false;
    const int end = runKeyboard(holder, [&](KeyboardWindow& w) {
        for (const KeyboardKey& k : tpl.keys)
            if (!k.available) {
                QTest::mouseClick(w.keyButton(k.controlId), Qt::LeftButton);
                QTest::keyClick(w.keyButton(k.controlId), Qt::Key_Space);
                ++clicked;
            }
        stillOpen = w.isVisible();
    });
    EXPECT_EQ(clicked, 13);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(end, 0); // ended by the test's own close, not by a key
    EXPECT_EQ(holder.keyIndex, KeyboardDialog::kNoKey);
}

TEST(KeyboardDialogRun, EscapeAndCloseReturnZero) {
    KeyboardDialog holder;
    EXPECT_EQ(runKeyboard(holder, [](KeyboardWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }), 0);
    EXPECT_EQ(holder.keyIndex, KeyboardDialog::kNoKey);
    EXPECT_EQ(runKeyboard(holder, [](KeyboardWindow& w) { w.close(); }), 0);
    EXPECT_EQ(holder.keyIndex, KeyboardDialog::kNoKey);
}

TEST(KeyboardDialogRun, OpensTitledWithFocusOnTheFirstKeyAndEnterChoosesIt) {
    KeyboardDialog holder;
    QString title;
    bool firstHasFocus = false;
    const int end = runKeyboard(holder, [&](KeyboardWindow& w) {
        title = w.windowTitle();
        firstHasFocus = w.focusWidget() == w.keyButton(1151);
        QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
        QTest::keyClick(w.focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(title, QStringLiteral("Keyboard"));
    EXPECT_TRUE(firstHasFocus);
    EXPECT_EQ(end, 1);
    EXPECT_EQ(holder.keyIndex, 1); // Tab moved on to "!"/"1"
}

TEST(KeyboardDialogRun, GeometryFollowsTheDialogUnits) {
    KeyboardDialog holder;
    runKeyboard(holder, [&](KeyboardWindow& w) {
        const DialogBaseUnits u = dialogBaseUnits(w.font());
        EXPECT_EQ(w.size(), QSize(mulDiv(427, u.x, 4), mulDiv(137, u.y, 8)));
        struct Case {
            int id;
            QRect du;
        };
        const Case cases[] = {
            {1166, QRect(21, 54, 14, 18)},   // Q
            {1178, QRect(191, 54, 35, 35)},  // main Enter
            {1207, QRect(67, 110, 100, 18)}, // space bar
            {1243, QRect(390, 54, 23, 36)},  // keypad +
            {1227, QRect(230, 34, 28, 20)},  // Print Scr (unavailable)
        };
        for (const Case& c : cases) {
            const QRect px(mulDiv(c.du.x(), u.x, 4), mulDiv(c.du.y(), u.y, 8),
                           mulDiv(c.du.x() + c.du.width(), u.x, 4) - mulDiv(c.du.x(), u.x, 4),
                           mulDiv(c.du.y() + c.du.height(), u.y, 8) - mulDiv(c.du.y(), u.y, 8));
            EXPECT_EQ(w.keyButton(c.id)->geometry(), px) << c.id;
        }
        EXPECT_EQ(w.frameWidget()->geometry(), mapDialogRect(QRect(0, 2, 415, 126), u));
        QTest::keyClick(&w, Qt::Key_Escape);
    });
}

TEST(KeyboardDialogRun, UnavailableKeyIsAGreyBlockWithoutCaption) {
    KeyboardDialog holder;
    runKeyboard(holder, [&](KeyboardWindow& w) {
        KeyButton* b = w.keyButton(1199); // ","
        b->setFocus();
        const QImage img = b->grab().toImage();
        const QColor face = b->palette().color(QPalette::Active, QPalette::Button);
        const QColor grey = b->palette().color(QPalette::Disabled, QPalette::Text);
        EXPECT_EQ(img.pixelColor(0, 0), face);
        EXPECT_EQ(img.pixelColor(img.width() - 1, img.height() / 2), face);
        // Everything inside the frame is the grey fill: no caption and no focus mark.
        for (int y = 1; y < img.height() - 1; ++y)
            for (int x = 1; x < img.width() - 1; ++x)
                ASSERT_EQ(img.pixelColor(x, y), grey) << x << "," << y;
        QTest::keyClick(&w, Qt::Key_Escape);
    });
}

TEST(KeyboardDialogRun, WithoutAnActiveHolderNothingIsShown) {
    KeyboardDialog holder;
    activeKeyboard = nullptr;
    EXPECT_EQ(ShowKeyboard(nullptr, &holder), kKeyboardFailed);
    EXPECT_EQ(holder.keyIndex, KeyboardDialog::kNoKey);
}

} // namespace
