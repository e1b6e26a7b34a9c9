#include "UiTestSupport.h"

#include "tests/TestApplication.h"
#include "ui/Resources.h"

#include <QPainter>

namespace velorin::ui::test {

QApplication& app() {
    return velorin::test::guiApplication();
}

Toolkit& toolkit() {
    app();
    static Toolkit* tk = [] {
        auto* t = new Toolkit(QStringLiteral("imgdecoder-gdip"));
        t->loadUiDefinition(u"uidef:xml_init");
        t->registerNamedIds(NamedIdTable::fromLayouts(t->package()));
        t->installTranslator(u"lang_cn");
        return t;
    }();
    return *tk;
}

QImage solidImage(QSize size, QColor color) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

} // namespace velorin::ui::test
