#include "model/DisplayTexts.h"

#include "model/Paths.h"

#include <QCoreApplication>
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

namespace {

// The built-in values, as translation sources; the title and the four captions have none.
constexpr std::array<const char*, kDisplayTextCount> kBuiltIn{
    "",
    "",
    "",
    "",
    "",
    QT_TRANSLATE_NOOP("display_texts", "键盘"),
    QT_TRANSLATE_NOOP("display_texts", "鼠标左键"),
    QT_TRANSLATE_NOOP("display_texts", "鼠标右键"),
    QT_TRANSLATE_NOOP("display_texts", "鼠标中键"),
    QT_TRANSLATE_NOOP("display_texts", "是否恢复默认"),
    QT_TRANSLATE_NOOP("display_texts", "烧录成功"),
};

} // namespace

QString DisplayTexts::get(DisplayText which) const {
    const auto i = static_cast<std::size_t>(which);
    if (!builtIn_)
        return texts_[i];
    return *kBuiltIn[i] ? QCoreApplication::translate("display_texts", kBuiltIn[i]) : QString();
}

void DisplayTexts::resetToBuiltIn() {
    texts_.fill(QString());
    builtIn_ = true;
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
    builtIn_ = false;
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
