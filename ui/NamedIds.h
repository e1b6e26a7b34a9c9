// The named-id table: every element name of the layouts with a 32-bit id, sorted by name in code-unit
// order. "_name_start" is 65535; the names follow from 65536 upward in the order in which they first
// appear: the main layout in document order, then each layout it includes, in the order of inclusion
// (breadth first), each in document order.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

namespace velorin::ui {

class ResourcePackage;

struct NamedId {
    QString name;
    int id = 0;
};

class NamedIdTable {
public:
    static constexpr int kNameStartId = 65535;
    static constexpr int kFirstId = 65536;
    static constexpr int kMaxNameLength = 52;

    NamedIdTable() = default;
    // Derives the table from a main layout and the layouts it includes. Names longer than kMaxNameLength
    // are logged and left out.
    static NamedIdTable fromLayouts(const ResourcePackage& package,
                                    QStringView mainLayout = u"LAYOUT:XML_MAINWND");
    // Takes entries already sorted by name; false (and the table stays as it was) when they are not.
    bool assignSorted(std::vector<NamedId> entries);

    const std::vector<NamedId>& entries() const { return entries_; }
    int size() const { return int(entries_.size()); }
    std::optional<int> id(QStringView name) const;
    std::optional<QString> name(int id) const;

private:
    std::vector<NamedId> entries_;
};

} // namespace velorin::ui
