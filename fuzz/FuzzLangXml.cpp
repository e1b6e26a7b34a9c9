// Any bytes as the "lang.xml" override beside the program: no crash, and either the built-in texts
// stay (malformed) or all eleven are replaced.
#include "model/DisplayTexts.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    velorin::DisplayTexts texts;
    const velorin::DisplayTexts builtIn;
    texts.loadOverrideBuffer({reinterpret_cast<const char*>(data), size});
    if (!texts.loaded()) {
        for (int i = 0; i < velorin::kDisplayTextCount; ++i) {
            const auto which = static_cast<velorin::DisplayText>(i);
            if (texts.get(which) != builtIn.get(which))
                std::abort(); // a rejected file changed a text
        }
    }
    return 0;
}
