#include "model/DisplayTexts.h"

#include "model/Paths.h"

#include <QFile>
#include <QFileInfo>

#include <pugixml.hpp>

namespace velorin {

const char* displayTextKey(DisplayText which) {
    static constexpr std::array<const char*, kDisplayTextCount> keys{
        "title",  "loadcfg", "savecfg", "default",    "applay",    "keyboard",
        "Lclick", "Rclick",  "Mclick",  "msgRestore", "msgsuccess"};
    return keys[static_cast<std::size_t>(which)];
}

void DisplayTexts::resetToBuiltIn() {
    texts_.fill(QString());
    texts_[static_cast<std::size_t>(DisplayText::keyboard)] = QStringLiteral("键盘");
    texts_[static_cast<std::size_t>(DisplayText::Lclick)] = QStringLiteral("鼠标左键");
    texts_[static_cast<std::size_t>(DisplayText::Rclick)] = QStringLiteral("鼠标右键");
    texts_[static_cast<std::size_t>(DisplayText::Mclick)] = QStringLiteral("鼠标中键");
    texts_[static_cast<std::size_t>(DisplayText::msgRestore)] = QStringLiteral("是否恢复默认");
    texts_[static_cast<std::size_t>(DisplayText::msgsuccess)] = QStringLiteral("烧录成功");
    loaded_ = false;
}

void DisplayTexts::loadOverride() {
    loadOverrideFile(executableDir() + QStringLiteral("lang.xml"));
}

void DisplayTexts::loadOverrideFile(const QString& path) {
    loaded_ = false;
    const QFileInfo info(path);
    if (!info.exists() || info.size() > kMaxFileSize)
        return;

    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_file(QFile::encodeName(path).constData(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed)
        return;
    applyOverride(doc);
}

void DisplayTexts::loadOverrideBuffer(std::span<const char> data) {
    loaded_ = false;
    if (static_cast<qint64>(data.size()) > kMaxFileSize)
        return;
    pugi::xml_document doc;
    if (!doc.load_buffer(data.data(), data.size(), pugi::parse_default, pugi::encoding_auto))
        return;
    applyOverride(doc);
}

void DisplayTexts::applyOverride(const pugi::xml_document& doc) {
    loaded_ = true;
    const pugi::xml_node root = doc.child("root");
    for (int i = 0; i < kDisplayTextCount; ++i) {
        const auto which = static_cast<DisplayText>(i);
        // A missing root, element or attribute gives the empty text.
        texts_[static_cast<std::size_t>(i)] =
            QString::fromUtf8(root.child(displayTextKey(which)).attribute("name").value());
    }
}

DisplayTexts& displayTexts() {
    static DisplayTexts texts;
    return texts;
}

} // namespace velorin
