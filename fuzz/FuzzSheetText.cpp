// Any bytes as a text of the printable sheet (an override file may supply one): what goes into the
// document is well-formed UTF-8 with no markup character and no control character, whatever came in.
#include "core/Sheet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool wellFormed(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<uint8_t>(text[i]);
        const std::size_t n = b < 0x80           ? 1
                              : (b >> 5) == 0x6  ? 2
                              : (b >> 4) == 0xE  ? 3
                              : (b >> 3) == 0x1E ? 4
                                                 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        uint32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<uint8_t>(text[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string clean = velorin::escapeMarkup(text);
    if (!wellFormed(clean))
        std::abort();
    for (const char c : clean) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '<' || c == '>' || c == '"' || c == '\'' || b < 0x20 || b == 0x7F)
            std::abort();
    }
    // Every '&' starts one of the five entities.
    for (std::size_t at = clean.find('&'); at != std::string::npos; at = clean.find('&', at + 1)) {
        const std::string_view rest = std::string_view(clean).substr(at);
        if (!rest.starts_with("&amp;") && !rest.starts_with("&lt;") && !rest.starts_with("&gt;") &&
            !rest.starts_with("&quot;") && !rest.starts_with("&#39;"))
            std::abort();
    }
    // Nothing after the limit counts: at most the rest of a character that starts before it.
    if (velorin::escapeMarkup(text.substr(0, velorin::kMaxSheetTextBytes + 3)) != clean)
        std::abort();
    return 0;
}
