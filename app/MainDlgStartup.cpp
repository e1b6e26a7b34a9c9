// CMainDlg's set-up: what OnInitDialog does once before the window is first shown, the display
// texts, the background picture beside the executable and the adapter badge's place.
#include "app/MainDlg.h"

#include "app/AdapterBadge.h"
#include "app/MainDlgParts.h"
#include "app/SingleInstance.h"
#include "app/UnappliedMark.h"
#include "device/Discovery.h"
#include "device/HidInputWnd.h"
#include "device/SharedState.h"
#include "model/DisplayTexts.h"
#include "model/Log.h"
#include "model/Paths.h"
#include "ui/Elements.h"
#include "ui/ImageDecoder.h"
#include "ui/Toolkit.h"

#include <QFileInfo>
#include <QFontMetrics>

namespace velorin::app {

using namespace mainwnd;

void CMainDlg::OnInitDialog() {
    // 1. The instance marker: later starts find this window through it.
    if (instance_)
        instance_->setMarker([this] { CloseMainWithoutQuestion(); }, [this] { BringToFront(); });
    // 2. A background picture beside the executable.
    LoadBackgroundOverride();
    // 3. The listener: arrival notices and the reader thread, reporting to this window.
    listener_ = std::make_unique<device::CHidInputWnd>(this);
    // 4. Display texts.
    displayTexts().loadOverride();
    ApplyDisplayTexts();
    // 5. The four pages, by title.
    if (auto* tab = findChildByName2<ui::STabCtrl>(u"tabctrl_mode")) {
        for (const ConsoleId console : kBlockOrder) {
            handler(console).BindPage(tab->page(latin(consoleInfo(console).pageTitle)));
        }
    } else {
        qCWarning(lcSoui) << "the main layout has no tabctrl_mode";
    }
    // The editing aids: history shortcuts, the mark on the apply button, the copy menus; the
    // adapter's state in the title area.
    history_.installShortcuts(this);
    if (ui::SWindow* apply = findChildByName(u"btn_Applay")) {
        mark_ = new UnappliedMark(apply); // owned by the button
        apply->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(apply, &QWidget::customContextMenuRequested, this, [this, apply] { showApplyMenu(apply); });
    }
    placeAdapterBadge();
    for (const ConsoleId console : kBlockOrder) {
        ui::SWindow* button = findChildByName(tabButtonOf(console));
        if (!button)
            continue;
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, button, console] { showCopyMenu(console, button); });
    }
    // 6. The adapter, when one is present.
    if (const auto path = device::FindAdapter())
        device::adapterPath().set(*path);
    // 7. What the adapter holds (and, with it, the adapter's state in the title area).
    ReadBackFromAdapter();
    // 8. The window opens on the first console of the block.
    SelectConsole(kBlockOrder.front());
    prepareKeyboardAccess();
}

void CMainDlg::LoadBackgroundOverride() {
    const QString path = executableDir() + QStringLiteral("background.png");
    if (!QFileInfo::exists(path))
        return;
    const ui::Toolkit* tk = ui::Toolkit::instance();
    auto* background = findChildByName2<ui::SImageWnd>(u"img_background");
    if (!tk || !background)
        return;
    const auto image = ui::decodeImageFile(path, tk->decoder());
    if (!image) {
        qCInfo(lcSoui) << "background.png not used:" << QString::fromStdString(image.error().detail);
        return;
    }
    background->setImage(*image);
}

void CMainDlg::ApplyDisplayTexts() {
    const DisplayTexts& texts = displayTexts();
    if (!texts.loaded())
        return;
    setWindowTitle(texts.get(DisplayText::title));
    const std::pair<const char16_t*, DisplayText> elements[] = {
        {u"text_title", DisplayText::title},    {u"btn_loadcfg", DisplayText::loadcfg},
        {u"btn_savecfg", DisplayText::savecfg}, {u"btn_default", DisplayText::default_},
        {u"btn_Applay", DisplayText::applay},
    };
    for (const auto& [name, which] : elements) {
        if (ui::SWindow* w = findChildByName(QStringView(name)))
            w->setText(texts.get(which));
    }
}

void CMainDlg::placeAdapterBadge() {
    // In the caption strip, so that a press on it still drags the window; its right end a little
    // left of the minimise button, its middle on the title's.
    auto* caption = findChild<ui::SCaption*>();
    const ui::SWindow* minimise = findChildByName(u"btn_min");
    const ui::SWindow* title = findChildByName(u"text_title");
    if (!caption || !minimise || !title)
        return;
    const int right = caption->mapFrom(this, minimise->mapTo(this, QPoint(0, 0))).x() - 16;
    const int middle = caption->mapFrom(this, title->mapTo(this, QPoint(0, title->height() / 2))).y();
    // Never over the title's text, whichever language it is in.
    const auto titleEnd = [this, caption, title] {
        const int textWidth = QFontMetrics(title->font()).horizontalAdvance(title->text());
        return caption->mapFrom(this, title->mapTo(this, QPoint(textWidth, 0))).x() + 16;
    };
    badge_ = new AdapterBadge(caption, right, middle, titleEnd); // owned by the caption
}

} // namespace velorin::app
