#include "CtlPrint.h"

#include "KeyNames.h"
#include "KvfJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velorin::ctl {

QString latin(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
QString consoleName(ConsoleId c) {
    return latin(consoleInfo(c).name);
}
QString consoleWord(ConsoleId c) {
    return latin(consoleInfo(c).word);
}
QString consoleWords(const QString& last) {
    QString out;
    for (std::size_t i = 0; i < kBlockOrder.size(); ++i) {
        if (i > 0)
            out += i + 1 == kBlockOrder.size() ? last : QStringLiteral(", ");
        out += consoleWord(kBlockOrder[i]);
    }
    return out;
}
QString buttonName(PadButton b) {
    return latin(padButtonName(b));
}
QStringList buttonLabels(ConsoleId console) {
    QStringList names;
    for (const PadButton b : consoleInfo(console).buttons)
        names << buttonLabel(b);
    return names;
}
QString hexByte(unsigned v) {
    return QStringLiteral("0x") + QString::number(v, 16).rightJustified(2, u'0').toUpper();
}
QString hex4(unsigned v) {
    return QString::number(v, 16).rightJustified(4, u'0').toUpper();
}

bool consoleHas(ConsoleId console, PadButton button) {
    for (const PadButton b : consoleInfo(console).buttons) {
        if (b == button)
            return true;
    }
    return false;
}

namespace {

std::optional<PadButton> buttonAtByte(ConsoleId console, int byte) {
    for (const PadButton b : consoleInfo(console).buttons) {
        if (recordByte(b) == byte)
            return b;
    }
    return std::nullopt;
}

// A byte's value: the key name where the byte is a button's, else 0xNN.
QString valueAt(ConsoleId console, int byte, uint8_t v) {
    return buttonAtByte(console, byte) ? keyName(v) : hexByte(v);
}

QString openText(hid::OpenError error) {
    switch (error) {
    case hid::OpenError::None:
        return QStringLiteral("ok");
    case hid::OpenError::PermissionDenied:
        return QStringLiteral("permission-denied");
    case hid::OpenError::NotFound:
        return QStringLiteral("not-found");
    case hid::OpenError::NotAdapter:
        return QStringLiteral("not-the-adapter");
    case hid::OpenError::Other:
        break;
    }
    return QStringLiteral("error");
}

QString busName(uint32_t busType) {
    return busType == 3   ? QStringLiteral("usb")
           : busType == 5 ? QStringLiteral("bluetooth")
                          : QStringLiteral("bus %1").arg(hexByte(busType));
}

// ---------------------------------------------------------------------------------------------
// Text

void printEntry(QTextStream& out, const InterfaceList::Entry& e) {
    const hid::DeviceInfo& info = e.info;
    out << QString::fromStdString(info.path) << "  " << busName(info.busType) << ' ' << hex4(info.vendorId)
        << ':' << hex4(info.productId) << '\n';
    int n = 0;
    for (const hid::CollectionCaps& c : info.collections) {
        ++n;
        out << "  collection " << n << ": usage page 0x" << hex4(c.usagePage) << " usage 0x" << hex4(c.usage)
            << ", report lengths input " << c.inputReportLength << " output " << c.outputReportLength
            << " feature " << c.featureReportLength << ", " << c.linkCollectionNodes
            << " link collection node(s)\n";
    }
    if (!e.adapter) {
        out << "  not the adapter: " << e.whyNot << '\n';
    } else if (e.openError == hid::OpenError::None) {
        out << "  the adapter; it can be opened for reading and writing\n";
    } else if (e.openError == hid::OpenError::PermissionDenied) {
        out << "  the adapter, but it cannot be opened: permission denied\n" << e.fix;
    } else {
        out << "  the adapter, but it cannot be opened: "
            << (e.openError == hid::OpenError::NotFound     ? "it went away"
                : e.openError == hid::OpenError::NotAdapter ? "the node now belongs to another device"
                                                            : "it is busy or broken")
            << '\n';
    }
}

void printText(QTextStream& out, const InterfaceList& list) {
    for (const InterfaceList::Entry& e : list.interfaces)
        printEntry(out, e);
    if (list.interfaces.empty())
        out << "no HID interfaces" << list.where << '\n';
    if (list.usable > 0)
        out << "adapter ready: " << list.firstUsable << '\n';
    else if (list.denied > 0)
        out << "the adapter is present but not accessible (see the fix above)\n";
    else
        out << "no adapter found\n";
}

void printText(QTextStream& out, const BlockView& view) {
    const WorkModeBlock& block = view.block;
    constexpr int kWidth = 14;
    QString header = QStringLiteral("BUTTON").leftJustified(kWidth);
    for (const ConsoleId c : kBlockOrder)
        header += consoleName(c).leftJustified(kWidth);
    out << header.trimmed() << '\n';
    auto row = [&](const QString& label, auto cell) {
        QString line = label.leftJustified(kWidth);
        for (const ConsoleId c : kBlockOrder)
            line += cell(c).leftJustified(kWidth);
        out << line.trimmed() << '\n';
    };
    for (int i = 0; i < kPadButtonCount; ++i) {
        const auto button = static_cast<PadButton>(i);
        row(buttonLabel(button), [&](ConsoleId c) {
            return consoleHas(c, button) ? keyName(block.button(c, button)) : QStringLiteral("-");
        });
    }
    row(QStringLiteral("id (byte 0)"), [&](ConsoleId c) { return hexByte(block.record(c)[0]); });
    row(QStringLiteral("bytes 6-9"), [&](ConsoleId c) {
        const auto r = block.record(c);
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(r.data()) + 6, 4).toHex());
    });
    bool spare = false;
    for (const ConsoleId c : kBlockOrder)
        spare = spare || (!buttonAtByte(c, 26) && block.record(c)[26] != 0);
    if (spare)
        row(QStringLiteral("byte 26"), [&](ConsoleId c) {
            return buttonAtByte(c, 26) ? QStringLiteral("-") : hexByte(block.record(c)[26]);
        });
}

void printText(QTextStream& out, const DiffList& list) {
    for (const Difference& d : list.differences)
        out << describeByte(d.console, d.byte) << ": " << valueAt(d.console, d.byte, d.a) << " -> "
            << valueAt(d.console, d.byte, d.b) << '\n';
}

void printText(QTextStream& out, const Verification& v) {
    for (const Difference& d : v.differences)
        out << describeByte(d.console, d.byte) << ": written " << valueAt(d.console, d.byte, d.a)
            << ", read back " << valueAt(d.console, d.byte, d.b) << '\n';
}

// "L2, START and A".
QString buttonList(const std::vector<PadButton>& buttons) {
    QStringList labels;
    for (const PadButton b : buttons)
        labels << buttonLabel(b);
    if (labels.size() < 2)
        return labels.join(QString());
    return labels.mid(0, labels.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           labels.last();
}

void printText(QTextStream& out, const ClashList& list) {
    for (const ConsoleId c : kBlockOrder) {
        for (const Clash& clash : list.report.clashes) {
            if (clash.console == c)
                out << consoleName(c) << ": " << keyName(clash.code) << " is given to "
                    << buttonList(clash.buttons) << '\n';
        }
        for (const UnnamedCode& u : list.report.unnamed) {
            if (u.console == c)
                out << consoleName(c) << ' ' << buttonLabel(u.button) << ": " << keyName(u.code)
                    << " names no key\n";
        }
    }
    if (list.report.clean())
        out << "no key is given to two buttons of a console, and every code names a key\n";
}

void printText(QTextStream& out, const MappingLinkView& view) {
    out << view.link << '\n';
}

void printText(QTextStream& out, const ChangePreview& preview) {
    for (const ConsoleChanges& c : preview.changes) {
        if (c.neverRead)
            out << consoleName(c.console) << ": not read from the adapter; apply writes its whole record\n";
        for (const ButtonChange& b : c.buttons)
            out << consoleName(c.console) << ' ' << buttonLabel(b.button) << ": " << keyName(b.from) << " -> "
                << keyName(b.to) << '\n';
    }
}

void printText(QTextStream& out, const PadView& view) {
    out << "pressed: " << (view.pressed.isEmpty() ? QStringLiteral("-") : view.pressed.join(u' '))
        << "  stick: " << (view.stick.isEmpty() ? QStringLiteral("centre") : view.stick.join(u' ')) << '\n';
}

void printText(QTextStream& out, const DoctorReport& r) {
    auto line = [&out](const char* what, const QString& value) {
        out << QString::fromLatin1(what).leftJustified(14) << value << '\n';
    };
    line("kernel", r.kernel);
    out << "interfaces\n";
    for (const auto& i : r.interfaces)
        out << "  " << i.path << "  " << i.vendorProduct << "  "
            << (i.adapter ? QStringLiteral("the adapter") : QStringLiteral("not the adapter: ") + i.reason)
            << '\n';
    if (r.interfaces.empty())
        out << "  none\n";
    line("adapter", r.adapter.isEmpty() ? QStringLiteral("not found") : r.adapter);
    if (!r.adapter.isEmpty()) {
        const QString endpoint = !r.interruptOut   ? QStringLiteral("endpoints unknown")
                                 : *r.interruptOut ? QStringLiteral("has an interrupt OUT endpoint")
                                                   : QStringLiteral("no interrupt OUT endpoint");
        line("output path", QString::fromLatin1(hid::outputPathName(r.outputPath)) + QStringLiteral(" (") +
                                endpoint +
                                QLatin1String(r.quirkActive ? ", usbhid quirk set)" : ", no usbhid quirk)"));
        line("access",
             QStringLiteral("owner %1, group %2, mode %3%4; %5")
                 .arg(r.access.owner, r.access.group, r.access.mode,
                      r.access.acl.isEmpty() ? QString() : QStringLiteral(", acl ") + r.access.acl.join(u' '),
                      r.access.canOpen ? QStringLiteral("you can open it")
                                       : QStringLiteral("you cannot open it: ") + r.access.problem));
    }
    line("udev rule",
         r.udevRule.isEmpty() ? QStringLiteral("not installed where udev reads it") : r.udevRule);
    line("seat", r.seat);
    if (r.access.canOpen)
        line("identity", r.identityDetail);
    if (r.readbackMs)
        line("read-back", QStringLiteral("4 records in %1 ms").arg(*r.readbackMs, 0, 'f', 1));
    else if (r.identityOk)
        line("read-back", QStringLiteral("failed after %1 of 4 records%2")
                              .arg(r.recordsRead)
                              .arg(r.writeFailed ? QStringLiteral(": the request could not be written")
                                                 : QStringLiteral(": no record came")));
    if (r.recordsMatch)
        line("write test", QStringLiteral("%1; originals %2 (saved in %3)")
                               .arg(*r.recordsMatch ? QStringLiteral("the changed records read back")
                                    : r.writeFailed ? QStringLiteral("a write failed")
                                                    : QStringLiteral("the records did not change"),
                                    r.restored.value_or(false) ? QStringLiteral("written back")
                                                               : QStringLiteral("NOT written back"),
                                    r.backup));
    line("verdict", r.verdict);
    if (!r.advice.isEmpty())
        out << r.advice << '\n';
}

// ---------------------------------------------------------------------------------------------
// JSON

QJsonObject toJson(const InterfaceList::Entry& e) {
    const hid::DeviceInfo& info = e.info;
    QJsonArray collections;
    for (const hid::CollectionCaps& c : info.collections)
        collections.append(QJsonObject{{"usagePage", c.usagePage},
                                       {"usage", c.usage},
                                       {"inputReportLength", c.inputReportLength},
                                       {"outputReportLength", c.outputReportLength},
                                       {"featureReportLength", c.featureReportLength},
                                       {"linkCollectionNodes", c.linkCollectionNodes}});
    QJsonObject o{{"path", QString::fromStdString(info.path)},
                  {"busType", static_cast<int>(info.busType)},
                  {"vendorId", hex4(info.vendorId)},
                  {"productId", hex4(info.productId)},
                  {"collections", collections},
                  {"adapter", e.adapter}};
    if (e.adapter)
        o.insert(QStringLiteral("open"), openText(e.openError));
    if (e.adapter && e.openError == hid::OpenError::PermissionDenied)
        o.insert(QStringLiteral("fix"), e.fix.simplified());
    else
        o.insert(QStringLiteral("reason"), e.whyNot);
    return o;
}

QJsonObject toJson(const InterfaceList& list) {
    QJsonArray interfaces;
    for (const InterfaceList::Entry& e : list.interfaces)
        interfaces.append(toJson(e));
    QJsonObject top{{"interfaces", interfaces}};
    top.insert(QStringLiteral("adapter"),
               list.firstUsable.isEmpty() ? QJsonValue() : QJsonValue(list.firstUsable));
    return top;
}

QJsonObject toJson(const std::vector<Difference>& differences) {
    QJsonArray list;
    for (const Difference& d : differences) {
        QJsonObject o{{"console", consoleWord(d.console)},
                      {"byte", d.byte},
                      {"a", valueAt(d.console, d.byte, d.a)},
                      {"b", valueAt(d.console, d.byte, d.b)}};
        if (const auto button = buttonAtByte(d.console, d.byte))
            o.insert(QStringLiteral("button"), buttonName(*button));
        list.append(o);
    }
    return QJsonObject{{"same", differences.empty()}, {"differences", list}};
}

QJsonObject toJson(const ClashList& list) {
    QJsonArray consoles;
    for (const ConsoleId c : kBlockOrder) {
        QJsonArray clashes;
        for (const Clash& clash : list.report.clashes) {
            if (clash.console != c)
                continue;
            QJsonArray buttons;
            for (const PadButton b : clash.buttons)
                buttons.append(buttonName(b));
            clashes.append(QJsonObject{{"key", keyName(clash.code)}, {"buttons", buttons}});
        }
        QJsonArray unnamed;
        for (const UnnamedCode& u : list.report.unnamed) {
            if (u.console == c)
                unnamed.append(QJsonObject{{"button", buttonName(u.button)}, {"code", keyName(u.code)}});
        }
        consoles.append(QJsonObject{{"console", consoleWord(c)}, {"clashes", clashes}, {"unnamed", unnamed}});
    }
    return QJsonObject{{"clean", list.report.clean()}, {"consoles", consoles}};
}

QJsonObject toJson(const ChangePreview& preview) {
    QJsonArray consoles;
    for (const ConsoleChanges& c : preview.changes) {
        QJsonArray buttons;
        for (const ButtonChange& b : c.buttons)
            buttons.append(QJsonObject{
                {"button", buttonName(b.button)}, {"from", keyName(b.from)}, {"to", keyName(b.to)}});
        consoles.append(
            QJsonObject{{"console", consoleWord(c.console)}, {"read", !c.neverRead}, {"buttons", buttons}});
    }
    return QJsonObject{{"changes", !preview.changes.empty()}, {"consoles", consoles}};
}

QJsonObject toJson(const PadView& view) {
    const QByteArray raw(reinterpret_cast<const char*>(view.state.data()),
                         static_cast<qsizetype>(view.state.size()));
    return QJsonObject{{"pressed", QJsonArray::fromStringList(view.pressed)},
                       {"stick", QJsonArray::fromStringList(view.stick)},
                       {"stickX", view.state[2]},
                       {"stickY", view.state[3]},
                       {"raw", QString::fromLatin1(raw.toHex())}};
}

QJsonObject toJson(const DoctorReport& r) {
    QJsonArray interfaces;
    for (const auto& i : r.interfaces) {
        QJsonObject o{{"path", i.path}, {"vendor_product", i.vendorProduct}, {"adapter", i.adapter}};
        if (!i.adapter)
            o.insert(QStringLiteral("reason"), i.reason);
        interfaces.append(o);
    }
    auto orNull = [](const QString& s) { return s.isEmpty() ? QJsonValue() : QJsonValue(s); };
    QJsonObject access{{"owner", orNull(r.access.owner)},
                       {"group", orNull(r.access.group)},
                       {"mode", orNull(r.access.mode)},
                       {"acl", QJsonArray::fromStringList(r.access.acl)},
                       {"can_open", r.access.canOpen}};
    return QJsonObject{
        {"kernel", r.kernel},
        {"output_path", QString::fromLatin1(hid::outputPathName(r.outputPath))},
        {"interrupt_out", r.interruptOut ? QJsonValue(*r.interruptOut) : QJsonValue()},
        {"usbhid_quirk", r.quirkActive},
        {"interfaces", interfaces},
        {"adapter", orNull(r.adapter)},
        {"access", access},
        {"udev_rule", orNull(r.udevRule)},
        {"seat", r.seat},
        {"identity", r.access.canOpen ? QJsonValue(r.identityOk) : QJsonValue()},
        {"readback_ms", r.readbackMs ? QJsonValue(*r.readbackMs) : QJsonValue()},
        {"write_failed", r.writeFailed},
        {"records_match", r.recordsMatch ? QJsonValue(*r.recordsMatch) : QJsonValue()},
        {"restored", r.restored ? QJsonValue(*r.restored) : QJsonValue()},
        {"backup", orNull(r.backup)},
        {"advice", orNull(r.advice)},
        {"verdict", r.verdict},
    };
}

QByteArray indented(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

} // namespace

QString describeByte(ConsoleId console, int byte) {
    if (byte == 0)
        return consoleName(console) + QStringLiteral(" id (byte 0)");
    if (const auto button = buttonAtByte(console, byte))
        return consoleName(console) + u' ' + buttonLabel(*button);
    return consoleName(console) + QStringLiteral(" byte %1").arg(byte);
}

void printText(QTextStream& out, const Report& report) {
    std::visit(
        [&out](const auto& r) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(r)>, std::monostate>)
                printText(out, r);
        },
        report);
}

void printJson(QTextStream& out, const Report& report) {
    std::visit(
        [&out](const auto& r) {
            using T = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<T, BlockView>)
                out << blockToJson(r.block);
            else if constexpr (std::is_same_v<T, DiffList>)
                out << indented(toJson(r.differences));
            else if constexpr (std::is_same_v<T, PadView>) // one line per state: a stream of objects
                out << QJsonDocument(toJson(r)).toJson(QJsonDocument::Compact) << '\n';
            else if constexpr (!std::is_same_v<T, std::monostate> && !std::is_same_v<T, Verification> &&
                               !std::is_same_v<T, MappingLinkView>)
                out << indented(toJson(r)); // --verify and link print text only
        },
        report);
}

} // namespace velorin::ctl
