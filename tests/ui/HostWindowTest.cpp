// The host window built from the main layout: rendering, fixed size, events, messages, element operations.
#include "ui/Elements.h"
#include "ui/SHostWnd.h"

#include "UiTestSupport.h"

#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <memory>

using namespace velorin::ui;

namespace {

// A host that records what reaches its hooks.
class RecordingHost : public SHostWnd {
public:
    using SHostWnd::SHostWnd;
    std::vector<EventArgs> events;
    std::vector<int> messages;
    bool handleCommands = true;
    bool onEvent(EventArgs& e) override {
        events.push_back(e);
        return e.id == kEventCommand && handleCommands;
    }
    bool onMessage(QEvent* m) override {
        messages.push_back(int(m->type()));
        return int(m->type()) == 0x0414 || int(m->type()) == 0x0415;
    }
    int count(int id, const QString& name) const {
        return int(std::count_if(events.begin(), events.end(),
                                 [&](const EventArgs& e) { return e.id == id && e.senderName == name; }));
    }
};

std::unique_ptr<RecordingHost> mainWindow() {
    test::toolkit();
    auto w = std::make_unique<RecordingHost>(QStringLiteral("LAYOUT:XML_MAINWND"));
    EXPECT_TRUE(w->create());
    return w;
}

void click(QWidget* w, QPoint at = {}) {
    if (at.isNull())
        at = w->rect().center();
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
}

TEST(HostWindow, FramelessTranslucentFixedSizeWithTitleAndIcons) {
    auto w = mainWindow();
    EXPECT_EQ(w->size(), QSize(800, 600));
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w->isWindow());
    EXPECT_TRUE(w->isTranslucent());
    EXPECT_TRUE(w->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Orlesta引导盒映射软件"));
    EXPECT_EQ(w->translationContext(), QStringLiteral("dlg_main"));
    if (test::toolkit().package().contains(u"ICON:ICON_LOGO@32")) {
        EXPECT_FALSE(w->bigIcon().isNull());
        EXPECT_FALSE(w->smallIcon().isNull());
        EXPECT_FALSE(w->windowIcon().isNull());
    }
    EXPECT_FALSE(w->create()); // only once
}

TEST(HostWindow, CannotBeResized) {
    auto w = mainWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    EXPECT_EQ(w->minimumSize(), QSize(800, 600));
    EXPECT_EQ(w->maximumSize(), QSize(800, 600));
    w->resize(1024, 768);
    EXPECT_EQ(w->size(), QSize(800, 600));
    w->setGeometry(10, 10, 300, 200);
    EXPECT_EQ(w->size(), QSize(800, 600));
    // Even the native window cannot be made to keep another size. The size is put back through
    // a queued call and the window system's own queue, so it takes a few turns of the event loop
    // (more than 50 ms on a loaded machine): wait for it, with a limit that only ends a hung run.
    w->windowHandle()->resize(900, 700);
    (void)QTest::qWaitFor(
        [&] { return w->size() == QSize(800, 600) && w->windowHandle()->size() == QSize(800, 600); }, 10000);
    EXPECT_EQ(w->size(), QSize(800, 600));
    EXPECT_EQ(w->windowHandle()->size(), QSize(800, 600));
}

TEST(HostWindow, CentresOnTheWorkArea) {
    auto w = mainWindow();
    w->centerOnWorkArea();
    const QRect area = w->screen()->availableGeometry();
    EXPECT_EQ(w->geometry().center().x() - area.center().x(), 0);
    EXPECT_LE(std::abs(w->geometry().center().y() - area.center().y()), 1);
}

// With a solid pad picture of a known colour, the render shows it exactly over 51,129 to 752,529.
TEST(HostWindow, SelectedPadPictureCoversItsArea) {
    Toolkit& tk = test::toolkit();
    SkinPool saved = tk.skins();
    const QColor pad(10, 200, 30);
    // The window keeps plain pointers to its skins: these outlive it.
    const auto padSkin = std::make_shared<ImageFrameSkin>(test::solidImage({701, 400}, pad));
    const auto black = std::make_shared<ImageFrameSkin>(test::solidImage({800, 600}, QColor(0, 0, 0)));
    const auto none = std::make_shared<ColorRectSkin>(std::vector<QColor>{});
    tk.skins().add(QStringLiteral("skin_ps3_png"), padSkin);
    tk.skins().add(QStringLiteral("skin_background_png"), black);
    tk.skins().add(QStringLiteral("skin_custombox_png"), none);
    tk.skins().add(QStringLiteral("skin_status_png"), none);
    auto w = mainWindow();
    tk.skins() = saved;
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    const QImage shot = w->grab().toImage().scaled(800, 600); // logical pixels
    ASSERT_EQ(shot.size(), QSize(800, 600));
    // Inside: every corner and the middle of the area (clear of buttons and boxes).
    for (QPoint p :
         {QPoint(51, 129), QPoint(751, 129), QPoint(51, 528), QPoint(751, 528), QPoint(400, 129 + 200)})
        EXPECT_EQ(shot.pixelColor(p), pad) << p.x() << "," << p.y();
    // Outside: just beyond each edge.
    for (QPoint p : {QPoint(50, 300), QPoint(752, 300), QPoint(400, 128), QPoint(400, 529), QPoint(0, 0)})
        EXPECT_NE(shot.pixelColor(p), pad) << p.x() << "," << p.y();
}

TEST(HostWindow, ClickRaisesCommandWithSenderAndName) {
    auto w = mainWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    SWindow* apply = w->findChildByName(u"btn_Applay");
    ASSERT_NE(apply, nullptr);
    click(apply);
    ASSERT_EQ(w->count(kEventCommand, QStringLiteral("btn_Applay")), 1);
    const auto it = std::find_if(w->events.begin(), w->events.end(),
                                 [](const EventArgs& e) { return e.id == kEventCommand; });
    EXPECT_EQ(it->sender, apply);
    EXPECT_EQ(it->senderId, 65548);

    // A box inside a page raises its command too, with the page as an ancestor.
    auto* tab = w->findChildByName2<STabCtrl>(u"tabctrl_mode");
    SWindow* box = w->findChildByName(u"btn_ps3_key_L2", u"button");
    click(box);
    EXPECT_EQ(w->count(kEventCommand, QStringLiteral("btn_ps3_key_L2")), 1);
    EXPECT_TRUE(tab->page(u"ps3page")->isSelfOrAncestorOf(box));
    EXPECT_FALSE(tab->page(u"ps4page")->isSelfOrAncestorOf(box));

    // Press inside, release outside: no click. Images and texts raise no command.
    QTest::mousePress(apply, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(apply, Qt::LeftButton, Qt::NoModifier, QPoint(500, 500));
    click(w->findChildByName(u"img_background"), QPoint(400, 580));
    EXPECT_EQ(w->count(kEventCommand, QStringLiteral("btn_Applay")), 1);
    EXPECT_EQ(w->count(kEventCommand, QStringLiteral("img_background")), 0);
}

TEST(HostWindow, HoverAndLeaveEvents) {
    auto w = mainWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    SWindow* load = w->findChildByName(u"btn_loadcfg");
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QCoreApplication::sendEvent(load, &enter);
    EXPECT_TRUE(load->isHovered());
    EXPECT_EQ(load->drawState(), kStateHover);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(load, &leave);
    EXPECT_FALSE(load->isHovered());
    EXPECT_EQ(w->count(kEventMouseHover, QStringLiteral("btn_loadcfg")), 1);
    EXPECT_EQ(w->count(kEventMouseLeave, QStringLiteral("btn_loadcfg")), 1);
}

TEST(HostWindow, ProgramMessagesReachTheHook) {
    auto w = mainWindow();
    QEvent arrival(SHostWnd::messageType(0x0414));
    EXPECT_TRUE(QCoreApplication::sendEvent(w.get(), &arrival));
    QCoreApplication::postEvent(w.get(), new SMessageEvent(0x0415));
    QCoreApplication::postEvent(w.get(), new SMessageEvent(0x0500, 1, 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(w->messages, (std::vector<int>{0x0414, 0x0415, 0x0500}));
}

TEST(HostWindow, CheckedStateAndTextColourCanBeSetWhileRunning) {
    auto w = mainWindow();
    auto* xbox = w->findChildByName(u"btn_xbox", u"imgbtn");
    EXPECT_FALSE(xbox->isChecked());
    xbox->setChecked(true);
    EXPECT_TRUE(xbox->isChecked());
    EXPECT_EQ(xbox->drawState(), kStatePushed);
    EXPECT_TRUE(xbox->setAttribute(QStringLiteral("colorText"), QStringLiteral("#ffffffff")));
    EXPECT_EQ(xbox->textColor(), QColor(Qt::white));
    EXPECT_TRUE(xbox->setAttribute(QStringLiteral("colorText"), QStringLiteral("#adadadff")));
    EXPECT_EQ(xbox->textColor(), QColor(0xad, 0xad, 0xad));
    EXPECT_FALSE(xbox->setAttribute(QStringLiteral("colorText"), QStringLiteral("white")));
    EXPECT_EQ(xbox->textColor(), QColor(0xad, 0xad, 0xad)); // a bad value changes nothing
    EXPECT_EQ(xbox->attribute(QStringLiteral("colorText")), QStringLiteral("#adadadff"));
    EXPECT_FALSE(xbox->setAttribute(QStringLiteral("skin"), QStringLiteral("no_such_skin")));
    EXPECT_EQ(xbox->skin(), test::toolkit().skin(u"skin_tablebutton2_png"));
    EXPECT_FALSE(xbox->setAttribute(QStringLiteral("size"), QStringLiteral("-5,3")));
    // Attributes the element does not use are kept for whoever reads them.
    EXPECT_TRUE(xbox->setAttribute(QStringLiteral("maxWidth"), QStringLiteral("108")));
    EXPECT_EQ(xbox->attribute(QStringLiteral("maxWidth")), QStringLiteral("108"));
    xbox->setChecked(false);
    EXPECT_EQ(xbox->drawState(), kStateNormal);
}

TEST(HostWindow, TabsSwitchByTitleAndShowNoHeaders) {
    auto w = mainWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    auto* tab = w->findChildByName2<STabCtrl>(u"tabctrl_mode");
    EXPECT_TRUE(tab->page(0)->isVisible());
    EXPECT_TRUE(tab->setCurSel(u"xboxpage"));
    EXPECT_EQ(tab->curSel(), 3);
    EXPECT_TRUE(tab->page(3)->isVisible());
    EXPECT_FALSE(tab->page(0)->isVisible());
    EXPECT_FALSE(tab->setCurSel(u"XBOXPAGE"));
    EXPECT_FALSE(tab->setCurSel(7));
    EXPECT_EQ(tab->curSel(), 3);
    // Pages fill the control: there is no header strip.
    EXPECT_EQ(tab->page(3)->geometry(), tab->rect());
    // Only the visible page's boxes can be hit.
    EXPECT_FALSE(w->findChildByName(u"btn_ps3_key_L2")->isVisible());
    EXPECT_TRUE(w->findChildByName(u"btn_xbox_key_L2")->isVisible());
}

TEST(HostWindow, RectanglesInHostAndScreenCoordinates) {
    auto w = mainWindow();
    w->move(100, 50);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    SWindow* box = w->findChildByName(u"btn_ps3_key_HOME");
    const QRect r = box->windowRectInHost();
    EXPECT_EQ(r.topLeft(), QPoint(51 + 304, 129 + 331));
    if (test::toolkit().package().contains(u"IMG:custombox_png")) {
        EXPECT_EQ(r.size(), QSize(110, 32));
    }
    const QPoint screen = box->hostToScreen(QPoint(r.left(), r.bottom() + 1 - 4));
    EXPECT_EQ(screen, w->mapToGlobal(QPoint(r.left(), r.bottom() - 3)));
    EXPECT_EQ(screen - w->mapToGlobal(QPoint(0, 0)), QPoint(355, 129 + 331 + r.height() - 4));
}

TEST(HostWindow, VisibilityTextAndBackgroundImage) {
    auto w = mainWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    SWindow* lamp = w->findChildByName(u"img_ps3_key_A", u"img");
    EXPECT_FALSE(lamp->isVisible()); // lamps start dark
    lamp->setVisibleNow(true);
    EXPECT_TRUE(lamp->isVisible());
    lamp->setVisibleNow(false);
    EXPECT_FALSE(lamp->isVisible());

    SWindow* box = w->findChildByName(u"btn_ps3_key_A");
    box->setText(QStringLiteral("Enter"));
    EXPECT_EQ(box->text(), QStringLiteral("Enter"));

    SWindow* title = w->findChildByName(u"text_title", u"text");
    title->setText(QStringLiteral("a much longer title than the one before"));
    EXPECT_EQ(title->windowRectInHost().topLeft(), QPoint(119, 22)); // grows to the right only
    EXPECT_GT(title->width(), 100);

    auto* background = w->findChildByName2<SImageWnd>(u"img_background");
    ASSERT_NE(background, nullptr);
    background->setImage(test::solidImage({800, 600}, QColor(1, 2, 3)));
    EXPECT_TRUE(background->hasOwnImage());
    const QImage shot = w->grab().toImage().scaled(800, 600);
    EXPECT_EQ(shot.pixelColor(20, 300), QColor(1, 2, 3));
    background->setImage(QImage());
    EXPECT_FALSE(background->hasOwnImage());
}

// Paint events per watched widget.
class PaintCounter : public QObject {
public:
    std::map<const QObject*, int> paints;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints[o];
        return false;
    }
};

// Lamps switched in one batch are drawn before the batch ends, and once: nothing Qt queued while
// showing them paints the same pixels again afterwards.
TEST(HostWindow, ABatchOfLampChangesIsPaintedOnceAndAtOnce) {
    auto w = mainWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    SWindow* on = w->findChildByName(u"img_ps3_key_A", u"img");
    SWindow* off = w->findChildByName(u"img_ps3_key_B", u"img");
    ASSERT_TRUE(on && off);
    off->setVisibleNow(true);
    QCoreApplication::processEvents();
    PaintCounter counter;
    QWidget* page = on->parentWidget();
    for (QObject* o : {static_cast<QObject*>(on), static_cast<QObject*>(off), static_cast<QObject*>(page)})
        o->installEventFilter(&counter);
    {
        VisibilityBatch batch;
        batch.setVisible(on, true);
        batch.setVisible(off, false);
        EXPECT_EQ(counter.paints[on], 0);
    }
    EXPECT_EQ(counter.paints[on], 1);
    EXPECT_EQ(counter.paints[page], 1);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints[on], 1);
    EXPECT_EQ(counter.paints[page], 1);
    EXPECT_EQ(counter.paints[off], 0);
    EXPECT_TRUE(on->isVisible());
    EXPECT_FALSE(off->isVisible());
}

TEST(HostWindow, DraggingTheCaptionMovesTheWindow) {
    auto w = mainWindow();
    w->move(200, 200);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    const auto captions = w->findChildren<SCaption*>();
    ASSERT_EQ(captions.size(), 1);
    SCaption* caption = captions[0];
    const QPoint start = w->pos();
    const QPointF local(300, 30);
    auto send = [&](QEvent::Type type, QPointF global, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, caption->mapFromGlobal(global.toPoint()), global, button, buttons,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(caption, &e);
    };
    const QPointF g0 = caption->mapToGlobal(local);
    send(QEvent::MouseButtonPress, g0, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, g0 + QPointF(40, 25), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, g0 + QPointF(40, 25), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w->pos(), start + QPoint(40, 25));
}

TEST(HostWindow, ImageButtonsShowNoToolTipAndFadeBetweenStates) {
    auto w = mainWindow();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    auto* btn = w->findChildByName2<SImageButton>(u"btn_savecfg");
    btn->setToolTip(QStringLiteral("should never show"));
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), btn->mapToGlobal(QPoint(2, 2)));
    EXPECT_TRUE(QCoreApplication::sendEvent(btn, &help));
    EXPECT_TRUE(help.isAccepted());
    if (!btn->skin() || btn->skin()->naturalSize().isEmpty())
        GTEST_SKIP() << "artwork not part of this build";
    const QImage before = btn->grab().toImage();
    btn->setChecked(true);
    QTest::qWait(SImageButton::kFadeMs + 100);
    const QImage after = btn->grab().toImage();
    EXPECT_NE(before, after); // the pushed look is drawn once the fade ends
}

} // namespace
