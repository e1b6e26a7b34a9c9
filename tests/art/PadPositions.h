// Box and lamp positions (left, top within the 701x400 page) of every pad button, as the page layouts
// place them. The checks read the layouts under res/layout; this table is the fallback when a layout
// is missing and the reference the layouts are compared with.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace velorin::arttest {

struct Placement {
    std::string_view button;
    int boxX, boxY;
    int lampX, lampY;
};

inline constexpr std::array<Placement, 21> kPs3{{
    {"L2", 55, 20, 282, 33},           {"L1", 55, 49, 282, 61},
    {"SELECT", 55, 94, 330, 203},      {"ARROW_UP", 55, 123, 281, 188},
    {"ARROW_DOWN", 55, 152, 281, 217}, {"ARROW_L", 55, 180, 267, 202},
    {"ARROW_R", 55, 209, 296, 202},    {"lyhih_UP", 55, 238, 317, 220},
    {"lyhih_DOWN", 55, 266, 317, 252}, {"lxhih_L", 55, 295, 300, 236},
    {"lxhih_R", 55, 324, 336, 236},    {"LSTICK_KEY", 55, 353, 317, 236},
    {"R2", 541, 20, 424, 30},          {"R1", 541, 49, 424, 58},
    {"START", 541, 93, 374, 203},      {"A", 541, 122, 425, 220},
    {"B", 541, 151, 444, 202},         {"X", 541, 179, 404, 202},
    {"Y", 541, 208, 424, 183},         {"RSTICK_KEY", 541, 312, 390, 236},
    {"HOME", 304, 331, 352, 216},
}};

inline constexpr std::array<Placement, 22> kPs4{{
    {"L2", 50, 20, 277, 31},           {"L1", 50, 49, 277, 59},
    {"SELECT", 537, 93, 399, 176},     {"ARROW_UP", 50, 123, 274, 187},
    {"ARROW_DOWN", 50, 152, 274, 212}, {"ARROW_L", 50, 180, 262, 200},
    {"ARROW_R", 50, 209, 288, 199},    {"lyhih_UP", 50, 238, 309, 216},
    {"lyhih_DOWN", 50, 266, 310, 246}, {"lxhih_L", 50, 295, 294, 232},
    {"lxhih_R", 50, 324, 326, 232},    {"LSTICK_KEY", 50, 353, 309, 231},
    {"R2", 537, 20, 424, 30},          {"R1", 537, 49, 424, 58},
    {"START", 289, 318, 337, 185},     {"A", 537, 122, 423, 216},
    {"B", 537, 151, 441, 199},         {"X", 537, 179, 405, 199},
    {"Y", 537, 208, 423, 181},         {"RSTICK_KEY", 537, 263, 387, 231},
    {"HOME", 537, 293, 348, 232},      {"SHARE", 50, 94, 300, 176},
}};

inline constexpr std::array<Placement, 22> kSwitch{{
    {"L2", 53, 30, 282, 42},           {"L1", 53, 60, 283, 72},
    {"SELECT", 53, 91, 326, 183},      {"lyhih_UP", 53, 120, 282, 185},
    {"lyhih_DOWN", 53, 149, 283, 212}, {"lxhih_L", 53, 177, 268, 200},
    {"lxhih_R", 53, 205, 298, 199},    {"LSTICK_KEY", 53, 235, 283, 199},
    {"ARROW_UP", 53, 263, 318, 226},   {"ARROW_DOWN", 53, 292, 318, 250},
    {"ARROW_L", 53, 321, 305, 238},    {"ARROW_R", 53, 350, 329, 238},
    {"R2", 541, 30, 429, 42},          {"R1", 541, 60, 430, 72},
    {"START", 541, 91, 387, 182},      {"A", 541, 120, 444, 202},
    {"B", 541, 149, 426, 219},         {"X", 541, 177, 426, 184},
    {"Y", 541, 205, 408, 202},         {"RSTICK_KEY", 541, 279, 393, 237},
    {"HOME", 541, 311, 374, 201},      {"CAPTURE", 541, 339, 339, 200},
}};

inline constexpr std::array<Placement, 21> kXbox{{
    {"L2", 55, 20, 282, 33},           {"L1", 55, 49, 282, 61},
    {"SELECT", 55, 94, 337, 196},      {"lyhih_UP", 55, 123, 289, 183},
    {"lyhih_DOWN", 55, 152, 289, 207}, {"lxhih_L", 55, 180, 276, 195},
    {"lxhih_R", 55, 209, 302, 195},    {"LSTICK_KEY", 55, 238, 289, 195},
    {"ARROW_UP", 55, 266, 319, 225},   {"ARROW_DOWN", 55, 295, 320, 246},
    {"ARROW_L", 55, 324, 306, 236},    {"ARROW_R", 55, 353, 333, 236},
    {"R2", 541, 20, 435, 30},          {"R1", 541, 49, 436, 60},
    {"START", 541, 93, 370, 197},      {"A", 541, 122, 417, 211},
    {"B", 541, 151, 433, 195},         {"X", 541, 179, 402, 194},
    {"Y", 541, 208, 418, 178},         {"RSTICK_KEY", 541, 306, 385, 233},
    {"HOME", 304, 324, 352, 171},
}};

struct PadPage {
    std::string_view console; // ps3, ps4, switch, xbox
    std::span<const Placement> table;
};

inline constexpr std::array<PadPage, 4> kPages{{
    {"ps3", kPs3},
    {"ps4", kPs4},
    {"switch", kSwitch},
    {"xbox", kXbox},
}};

inline constexpr int kBoxW = 110;
inline constexpr int kBoxH = 32;
inline constexpr int kLamp = 10;
inline constexpr int kPageX = 51; // the pad area's top left corner in the window
inline constexpr int kPageY = 129;

} // namespace velorin::arttest
