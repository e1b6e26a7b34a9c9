// What every front end says and does alike about the boxes of a console page: the order the
// keyboard visits them in, and the name a screen reader speaks for each.
#pragma once

#include "core/Console.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// Where a box stands on its page, in the page's pixels.
struct BoxPlace {
    PadButton button;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// The keyboard's order through a page's boxes: the boxes whose centre lies in the left third of
// the page from top to bottom, then those of the right third, then those between (the ones below
// the pad), each group by its top edge and then its left edge.
std::vector<PadButton> boxFocusOrder(std::span<const BoxPlace> boxes, int pageWidth);

// What a screen reader says for a pad button: for the buttons whose element names do not read well
// ("lyhih_UP") a text of context "pad" in the translation documents ("左摇杆上"), to be passed
// through the front end's translator; for the others their element name ("L2"), which reads the
// same in every language.
std::string_view spokenButton(PadButton button);

} // namespace velorin
