#include "model/KeyCodeName.h"

#include "model/DisplayTexts.h"

namespace velorin {

QString KeyCodeName(KeyCode code) {
    switch (code) {
    case MOUSE_LCLICK:
        return displayTexts().get(DisplayText::Lclick);
    case MOUSE_RCLICK:
        return displayTexts().get(DisplayText::Rclick);
    case MOUSE_MCLICK:
        return displayTexts().get(DisplayText::Mclick);
    default:
        break;
    }
    const std::string_view name = keyBoxText(code);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace velorin
