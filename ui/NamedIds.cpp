#include "ui/NamedIds.h"

#include "model/Log.h"
#include "ui/Resources.h"

#include <QSet>
#include <QStringList>
#include <algorithm>
#include <pugixml.hpp>

namespace velorin::ui {

NamedIdTable NamedIdTable::fromLayouts(const ResourcePackage& package, QStringView mainLayout) {
    std::vector<NamedId> entries;
    QSet<QString> seen;
    QStringList queue{mainLayout.toString()};
    QSet<QString> queued{mainLayout.toString().toUpper()};
    int next = kFirstId;
    for (qsizetype i = 0; i < queue.size(); ++i) {
        const auto bytes = package.bytes(queue[i]);
        pugi::xml_document doc;
        if (!bytes || !doc.load_buffer(bytes->constData(), size_t(bytes->size()))) {
            qCWarning(lcSoui) << "named ids: layout" << queue[i] << "missing or unreadable";
            continue;
        }
        // Document order within a layout; included layouts after the one including them.
        struct Walker : pugi::xml_tree_walker {
            std::vector<NamedId>* entries;
            QSet<QString>* seen;
            QStringList* queue;
            QSet<QString>* queued;
            int* next;
            bool for_each(pugi::xml_node& node) override {
                if (node.type() != pugi::node_element)
                    return true;
                if (QString::fromUtf8(node.name()) == u"include") {
                    const QString src = QString::fromUtf8(node.attribute("src").as_string());
                    if (!src.isEmpty() && !queued->contains(src.toUpper())) {
                        queued->insert(src.toUpper());
                        queue->append(src);
                    }
                }
                // A host window's own name is not an element name.
                if (QString::fromUtf8(node.name()) == u"hostwnd")
                    return true;
                const QString name = QString::fromUtf8(node.attribute("name").as_string());
                if (name.isEmpty() || seen->contains(name))
                    return true;
                if (name.size() > kMaxNameLength) {
                    qCWarning(lcSoui) << "named ids: name too long" << name;
                    return true;
                }
                seen->insert(name);
                entries->push_back({name, (*next)++});
                return true;
            }
        } walker;
        walker.entries = &entries;
        walker.seen = &seen;
        walker.queue = &queue;
        walker.queued = &queued;
        walker.next = &next;
        doc.traverse(walker);
    }
    if (!seen.contains(QStringLiteral("_name_start")))
        entries.push_back({QStringLiteral("_name_start"), kNameStartId});
    std::sort(entries.begin(), entries.end(),
              [](const NamedId& a, const NamedId& b) { return a.name < b.name; });
    NamedIdTable table;
    table.entries_ = std::move(entries);
    return table;
}

bool NamedIdTable::assignSorted(std::vector<NamedId> entries) {
    const bool sorted =
        std::adjacent_find(entries.begin(), entries.end(), [](const NamedId& a, const NamedId& b) {
            return !(a.name < b.name);
        }) == entries.end();
    if (!sorted)
        return false;
    entries_ = std::move(entries);
    return true;
}

std::optional<int> NamedIdTable::id(QStringView name) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                                     [](const NamedId& e, QStringView n) { return QStringView(e.name) < n; });
    if (it == entries_.end() || it->name != name)
        return std::nullopt;
    return it->id;
}

std::optional<QString> NamedIdTable::name(int id) const {
    for (const NamedId& e : entries_)
        if (e.id == id)
            return e.name;
    return std::nullopt;
}

} // namespace velorin::ui
