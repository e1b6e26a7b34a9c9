// What Apply will change, from the core's change list (core/ChangeList.h): per console, each button
// whose key differs from what the adapter is known to hold, old key -> new key, and the consoles
// whose records on the adapter were never read (apply writes them whole). The unapplied mark's
// tooltip carries the first lines; the popup, opened from the apply button's menu (right click, or
// the menu key while the button has the focus), all of them. Esc or a click elsewhere closes it.
#pragma once

#include "core/ChangeList.h"
#include "core/EditSession.h"

#include <QFrame>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <vector>

class QListWidget;

namespace velorin::app {

// What apply would change now, against what the adapter is known to hold.
std::vector<ConsoleChanges> pendingChanges(const EditSession& session);

// One console's part: its heading ("PS4", or what a console never read says) and its lines
// ("L1：Q → Space").
struct ChangeGroup {
    ConsoleId console;
    QString heading;
    QStringList lines;
};
std::vector<ChangeGroup> changeGroups(const std::vector<ConsoleChanges>& changes);

// The tooltip's lines ("PS4 L1：Q → Space" ...): at most `maxLines`, the last of them saying how
// many more the popup shows.
QStringList changeTooltipLines(const std::vector<ConsoleChanges>& changes, int maxLines = 12);

class ChangesPopup : public QFrame {
    Q_OBJECT
public:
    // A popup of `owner`'s window with its top-left corner at a screen point; it deletes itself
    // when closed.
    ChangesPopup(const std::vector<ConsoleChanges>& changes, QPoint screenPoint, QWidget* owner);

    QListWidget* list() const { return list_; }

private:
    QListWidget* list_;
};

} // namespace velorin::app
