// What the verbs of velorinctl return, and the two printers that render it: one as text for people,
// one as JSON for programs. A verb never formats its own results.
#pragma once

#include "Ctl.h"
#include "Doctor.h"

#include "core/ChangeList.h"
#include "core/Clashes.h"
#include "core/Console.h"
#include "core/WorkMode.h"
#include "device/AdapterSession.h"
#include "device/hid/HidPlatform.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace velorin::ctl {

// list: every HID interface and what it is.
struct InterfaceList {
    struct Entry {
        hid::DeviceInfo info;
        bool adapter = false;
        hid::OpenError openError = hid::OpenError::None;
        QString whyNot; // why it is not the adapter
        QString fix;    // how to get access, when it is the adapter and access is denied
    };
    std::vector<Entry> interfaces;
    int usable = 0;
    int denied = 0;
    QString firstUsable;
    QString where; // " on the simulated bus BUS", or empty
};

// read and show: the four records.
struct BlockView {
    WorkModeBlock block;
};

// diff: the bytes in which two blocks differ.
struct DiffList {
    std::vector<Difference> differences;
};

// apply --verify: what the adapter holds against what was written, for the records it read back.
// Text only: apply takes no --json.
struct Verification {
    std::vector<Difference> differences;
};

// check: keys given to two or more buttons of a console, and codes that name no key.
struct ClashList {
    ClashReport report;
};

// link: the link that carries a .kvf file's records. Text only: link takes no --json.
struct MappingLinkView {
    QString link;
};

// apply --dry-run: what apply would change, per console, against what the adapter holds.
struct ChangePreview {
    std::vector<ConsoleChanges> changes;
};

// monitor: one pad state.
struct PadView {
    QStringList pressed;
    QStringList stick;
    device::JoyState state{};
    friend bool operator==(const PadView& a, const PadView& b) {
        return a.pressed == b.pressed && a.stick == b.stick;
    }
};

// Everything a verb can return; monostate when it has nothing to show.
using Report = std::variant<std::monostate, InterfaceList, BlockView, DiffList, Verification, PadView,
                            DoctorReport, ClashList, MappingLinkView, ChangePreview>;

void printText(QTextStream& out, const Report& report);
void printJson(QTextStream& out, const Report& report);

// Names and numbers as velorinctl spells them.
QString latin(std::string_view s);
QString consoleName(ConsoleId c);
QString consoleWord(ConsoleId c);
// The consoles' words in block order, joined by ", " with `last` before the last one:
// "ps3, ps4, switch or xbox".
QString consoleWords(const QString& last);
QString buttonName(PadButton b); // the element name, which JSON output uses; text uses buttonLabel()
QStringList buttonLabels(ConsoleId console);
QString hexByte(unsigned v);
QString hex4(unsigned v);
bool consoleHas(ConsoleId console, PadButton button);

} // namespace velorin::ctl
