#include "app/ChangesPopup.h"

#include "app/Handlers.h"
#include "model/KeyCodeName.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace velorin::app {

namespace {

QString consoleName(ConsoleId console) {
    const std::string_view name = consoleInfo(console).name;
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

// A code in a list: the box's text, "（无）" for no key, the number for a code that names no key.
QString codeText(KeyCode code) {
    if (code == 0)
        return QCoreApplication::translate("CMainDlg", "（无）");
    const QString name = KeyCodeName(code);
    return name.isEmpty() ? QStringLiteral("0x") + QString::number(code, 16).toUpper().rightJustified(2, u'0')
                          : name;
}

} // namespace

std::vector<ConsoleChanges> pendingChanges(const EditSession& session) {
    KnownRecords known;
    for (std::size_t i = 0; i < kConsoleCount; ++i)
        known[i] = session.known(kBlockOrder[i]);
    return changesToApply(session.block(), known);
}

std::vector<ChangeGroup> changeGroups(const std::vector<ConsoleChanges>& changes) {
    std::vector<ChangeGroup> groups;
    for (const ConsoleChanges& c : changes) {
        ChangeGroup g{c.console, consoleName(c.console), {}};
        if (c.neverRead)
            g.heading =
                QCoreApplication::translate("CMainDlg", "%1：适配器中的记录未曾读取，应用会写入整条记录")
                    .arg(consoleName(c.console));
        for (const ButtonChange& b : c.buttons)
            g.lines << QCoreApplication::translate("CMainDlg", "%1：%2 → %3")
                           .arg(spokenButtonName(b.button), codeText(b.from), codeText(b.to));
        groups.push_back(std::move(g));
    }
    return groups;
}

QStringList changeTooltipLines(const std::vector<ConsoleChanges>& changes, int maxLines) {
    QStringList all;
    for (const ChangeGroup& g : changeGroups(changes)) {
        if (g.lines.isEmpty())
            all << g.heading;
        for (const QString& line : g.lines)
            all << consoleName(g.console) + u' ' + line;
    }
    if (maxLines < 2 || all.size() <= maxLines)
        return all;
    const qsizetype more = all.size() - (maxLines - 1);
    all.resize(maxLines - 1);
    all << QCoreApplication::translate("CMainDlg", "……另有 %1 项：在「应用」的右键菜单中查看全部").arg(more);
    return all;
}

ChangesPopup::ChangesPopup(const std::vector<ConsoleChanges>& changes, QPoint screenPoint, QWidget* owner)
    : QFrame(owner, Qt::Popup), list_(new QListWidget(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("changes_popup"));
    const QString title = QCoreApplication::translate("CMainDlg", "应用将写入的更改");
    setAccessibleName(title);
    // The function menu's colours.
    setStyleSheet(
        QStringLiteral("#changes_popup { background: rgb(48,48,48); border: 1px solid rgb(113,110,110); }"
                       "QLabel { color: #e2e2e2; font-weight: bold; }"
                       "QListWidget { background: rgb(48,48,48); color: #adadad; border: 0; }"
                       "QListWidget::item:selected { background: rgb(113,110,110); color: #ffffff; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    auto* heading = new QLabel(title, this);
    layout->addWidget(heading);
    list_->setAccessibleName(title);
    list_->setFocusPolicy(Qt::StrongFocus);
    const std::vector<ChangeGroup> groups = changeGroups(changes);
    if (groups.empty())
        list_->addItem(QCoreApplication::translate("CMainDlg", "应用不会改变适配器中的任何按键。"));
    for (const ChangeGroup& g : groups) {
        auto* item = new QListWidgetItem(g.heading, list_);
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        for (const QString& line : g.lines)
            new QListWidgetItem(QStringLiteral("    ") + line, list_);
    }
    list_->setCurrentRow(0);
    layout->addWidget(list_);
    // As tall as its rows, up to most of the screen.
    const int rows = list_->count();
    const int rowHeight = list_->sizeHintForRow(0) > 0 ? list_->sizeHintForRow(0) : 18;
    const QScreen* screen = QGuiApplication::screenAt(screenPoint);
    const int most = screen ? screen->availableGeometry().height() * 2 / 3 : 600;
    list_->setFixedHeight(std::min(rows * rowHeight + 4, most));
    list_->setMinimumWidth(std::max(list_->sizeHintForColumn(0) + 24, 260));
    adjustSize();
    // Below the point, or as far up and left as it must go to stay on the screen.
    QPoint at = screenPoint;
    if (screen) {
        const QRect room = screen->availableGeometry();
        at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - width())));
        at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - height())));
    }
    move(at);
    show();
    list_->setFocus(Qt::PopupFocusReason);
}

} // namespace velorin::app
