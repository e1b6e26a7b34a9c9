// Marks a text of the core that the window shows translated: `source` is the text under `context`
// in the translation documents (res/translator/). The core keeps the source as it is; a front end
// with a translator passes it through with the same context, velorinctl prints it unchanged. The
// translation check (tests/app/LanguageTest.cpp) finds every marked text.
#pragma once

#define VELORIN_TEXT(context, source) source
