// Fuzzes the parsers of the resource package's XML that need the window layer: host window and page
// layouts, the function menu's description and the on-screen keyboard's table. The first byte
// chooses the parser; the rest is its input. One offscreen application and one toolkit serve all
// inputs.
#include "keysel/KeyboardLayout.h"
#include "keysel/SMenuEx2.h"
#include "ui/SHostWnd.h"
#include "ui/SWindow.h"
#include "ui/Toolkit.h"

#include <QApplication>

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "soui.warning=false;soui.info=false;soui.debug=false");
    static QApplication app(*argc, *argv); // lives until the process ends
    static velorin::ui::Toolkit toolkit(QStringLiteral("imgdecoder-gdip"));
    toolkit.loadUiDefinition(u"uidef:xml_init");
    // Build the real main window once, so the font and image caches are filled before fuzzing.
    velorin::ui::SHostWnd warm(QStringLiteral("LAYOUT:XML_MAINWND"));
    warm.create();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 4) {
    case 0: { // a host window layout
        pugi::xml_document doc;
        if (!doc.load_buffer(input.constData(), std::size_t(input.size())))
            return 0;
        velorin::ui::SHostWnd host;
        host.createFromXml(doc.document_element());
        host.resize(800, 600);
        break;
    }
    case 1: { // a page layout brought in by "include"
        pugi::xml_document doc;
        if (!doc.load_buffer(input.constData(), std::size_t(input.size())))
            return 0;
        velorin::ui::SWindow page;
        page.resize(700, 400);
        page.createChildren(doc.document_element());
        page.relayoutChildren();
        break;
    }
    case 2: {
        velorin::keysel::SMenuEx2 menu;
        menu.LoadXml(input);
        break;
    }
    case 3: {
        const auto table = velorin::keysel::parseKeyboardTemplate(input);
        if (!table &&
            (table.error().detail.empty() || table.kind() == velorin::keysel::TemplateErrorKind::None))
            std::abort(); // a refusal always says why
        break;
    }
    }
    return 0;
}
