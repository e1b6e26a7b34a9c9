#include "ui/Translator.h"

#include "model/Log.h"

#include <pugixml.hpp>

namespace velorin::ui {

QString XmlTranslator::key(QStringView context, QStringView source) {
    return context.toString() + QChar(0) + source.toString();
}

bool XmlTranslator::loadDocument(const QByteArray& xml) {
    messages_.clear();
    name_.clear();
    guid_.clear();
    if (xml.size() > kMaxDocumentBytes) {
        qCWarning(lcSoui) << "translation document too large";
        return false;
    }
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.constData(), size_t(xml.size()))) {
        qCWarning(lcSoui) << "translation document cannot be parsed";
        return false;
    }
    const pugi::xml_node language = doc.child("language");
    if (!language) {
        qCWarning(lcSoui) << "translation document has no language element";
        return false;
    }
    name_ = QString::fromUtf8(language.attribute("name").as_string());
    guid_ = QString::fromUtf8(language.attribute("guid").as_string());
    for (pugi::xml_node context : language.children("context")) {
        const QString ctx = QString::fromUtf8(context.attribute("name").as_string());
        for (pugi::xml_node message : context.children("message")) {
            const QString source = QString::fromUtf8(message.child("source").text().as_string());
            const QString translation = QString::fromUtf8(message.child("translation").text().as_string());
            if (!source.isEmpty() && !translation.isEmpty())
                messages_.insert(key(ctx, source), translation);
        }
    }
    return true;
}

QString XmlTranslator::translate(const char* context, const char* sourceText, const char*, int) const {
    if (!sourceText)
        return {};
    const auto it =
        messages_.constFind(key(QString::fromUtf8(context ? context : ""), QString::fromUtf8(sourceText)));
    return it == messages_.constEnd() ? QString() : *it;
}

} // namespace velorin::ui
