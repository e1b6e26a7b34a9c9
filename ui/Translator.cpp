#include "ui/Translator.h"

#include "model/Log.h"

namespace velorin::ui {

bool XmlTranslator::loadDocument(const QByteArray& xml) {
    auto document = TranslationDocument::parse(xml);
    if (!document) {
        document_ = {};
        qCWarning(lcSoui).noquote() << QString::fromStdString(document.error().detail);
        return false;
    }
    document_ = std::move(*document);
    return true;
}

QString XmlTranslator::translate(const char* context, const char* sourceText, const char*, int) const {
    if (!sourceText)
        return {};
    return document_.translate(QString::fromUtf8(context ? context : ""), QString::fromUtf8(sourceText));
}

} // namespace velorin::ui
