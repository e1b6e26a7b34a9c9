#include "app/ClashMarks.h"

#include "app/Handlers.h"
#include "core/Clashes.h"
#include "ui/SWindow.h"

#include <QCoreApplication>
#include <QPainter>
#include <QStringList>

namespace velorin::app {

ClashMark::ClashMark(QWidget* box) : QWidget(box) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    resize(kDiameter, kDiameter);
    move(kLeftInset, (box->height() - kDiameter) / 2);
    hide();
}

void ClashMark::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kColour, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
}

QString clashText(const std::vector<PadButton>& others) {
    QStringList names;
    for (const PadButton button : others)
        names << spokenButtonName(button);
    return QCoreApplication::translate("CMainDlg", "同一按键也分配给了 %1")
        .arg(names.join(QCoreApplication::translate("CMainDlg", "、")));
}

void showClashMarks(const WorkModeBlock& block,
                    const std::function<ui::SWindow*(ConsoleId, PadButton)>& box) {
    const ClashReport report = findClashes(block);
    for (const ConsoleId console : kBlockOrder) {
        for (const PadButton button : consoleInfo(console).buttons) {
            ui::SWindow* b = box(console, button);
            if (!b)
                continue;
            const std::vector<PadButton> others = clashingButtons(report, console, button);
            auto* mark = b->findChild<ClashMark*>(QString(), Qt::FindDirectChildrenOnly);
            if (others.empty()) {
                if (mark && !mark->isHidden()) {
                    mark->hide();
                    b->setToolTip({});
                    b->setAccessibleDescription({});
                }
                continue;
            }
            if (!mark)
                mark = new ClashMark(b); // owned by the box
            const QString text = clashText(others);
            mark->show();
            mark->raise();
            b->setToolTip(text);
            b->setAccessibleDescription(text);
        }
    }
}

} // namespace velorin::app
