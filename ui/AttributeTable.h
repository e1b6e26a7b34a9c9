// The attributes an element kind knows: a table from attribute name to setter. A setter parses the whole
// value first and changes the element only when the value is usable; it returns whether it was.
#pragma once

#include <QString>
#include <QStringView>

#include <span>

namespace velorin::ui {

template <class Element> struct AttributeSetter {
    QStringView name;
    bool (*apply)(Element& element, const QString& name, const QString& value);
    Qt::CaseSensitivity nameCase = Qt::CaseSensitive;
};

// The setter registered for `name`, or nullptr.
template <class Element>
const AttributeSetter<Element>* findAttributeSetter(std::span<const AttributeSetter<Element>> table,
                                                    QStringView name) {
    for (const AttributeSetter<Element>& setter : table)
        if (name.compare(setter.name, setter.nameCase) == 0)
            return &setter;
    return nullptr;
}

} // namespace velorin::ui
