#include "device/hid/ReportDescriptor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

using velorin::hid::CollectionCaps;
using velorin::hid::parseReportDescriptor;

namespace {

const std::string kDir = std::string(VELORIN_TEST_DATA_DIR) + "/hid-descriptors/";

struct CapsRow {
    std::string file;
    CollectionCaps caps;
};

std::vector<CapsRow> loadRows() {
    std::vector<CapsRow> rows;
    std::ifstream in(kDir + "caps.tsv");
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream f(line);
        CapsRow r;
        std::string page, usage;
        unsigned inLen = 0, outLen = 0, featLen = 0, nodes = 0;
        f >> r.file >> page >> usage >> inLen >> outLen >> featLen >> nodes;
        if (r.file.empty())
            continue;
        r.caps = {static_cast<uint16_t>(std::stoul(page, nullptr, 16)),
                  static_cast<uint16_t>(std::stoul(usage, nullptr, 16)),
                  static_cast<uint16_t>(inLen),
                  static_cast<uint16_t>(outLen),
                  static_cast<uint16_t>(featLen),
                  static_cast<uint16_t>(nodes)};
        rows.push_back(r);
    }
    return rows;
}

std::vector<uint8_t> loadHex(const std::string& file) {
    std::ifstream in(kDir + file);
    std::vector<uint8_t> bytes;
    std::string tok;
    while (in >> tok)
        bytes.push_back(static_cast<uint8_t>(std::stoul(tok, nullptr, 16)));
    return bytes;
}

std::string printCaps(const CollectionCaps& c) {
    std::ostringstream s;
    s << std::hex << "page 0x" << c.usagePage << " usage 0x" << c.usage << std::dec << " in "
      << c.inputReportLength << " out " << c.outputReportLength << " feature " << c.featureReportLength
      << " nodes " << c.linkCollectionNodes;
    return s.str();
}

class ReferenceDescriptor : public ::testing::TestWithParam<CapsRow> {};

} // namespace

TEST(ReportDescriptorReference, EveryReferenceFileHasARow) {
    // 25 reference descriptors ship with the test data; a lost row would silently shrink the check.
    EXPECT_EQ(loadRows().size(), 25u);
}

TEST_P(ReferenceDescriptor, MatchesTheReferenceFigures) {
    const CapsRow& row = GetParam();
    const auto bytes = loadHex(row.file);
    ASSERT_FALSE(bytes.empty()) << row.file;
    const auto caps = parseReportDescriptor(bytes);
    ASSERT_TRUE(caps.ok()) << caps.error;
    const CollectionCaps* match = nullptr;
    for (const auto& c : caps.collections) {
        if (c.usagePage == row.caps.usagePage && c.usage == row.caps.usage)
            match = &c;
    }
    ASSERT_NE(match, nullptr) << "no top-level collection " << printCaps(row.caps);
    EXPECT_EQ(*match, row.caps) << "got " << printCaps(*match) << ", want " << printCaps(row.caps);
}

INSTANTIATE_TEST_SUITE_P(Files, ReferenceDescriptor, ::testing::ValuesIn(loadRows()),
                         [](const ::testing::TestParamInfo<CapsRow>& info) {
                             std::string n = info.param.file.substr(0, info.param.file.find('.'));
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

namespace {

// The adapter's own descriptor: vendor page 0xFFC0, 32 bytes in, 64 bytes out, no report IDs.
const std::vector<uint8_t> kAdapter = {0x06, 0xC0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01,
                                       0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x20,
                                       0x81, 0x02, 0x09, 0x01, 0x95, 0x40, 0x91, 0x02, 0xC0};

struct Shaped {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<CollectionCaps> want;
};

} // namespace

TEST(ReportDescriptor, ComputesFiguresForShapedDescriptors) {
    const std::vector<Shaped> cases = {
        {"adapter", kAdapter, {{0xFFC0, 1, 33, 65, 0, 1}}},
        {"ID byte counted with report IDs: two reports, largest wins",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95,
          0x03, 0x81, 0x02, 0x85, 0x02, 0x95, 0x07, 0x81, 0x02, 0xC0},
         {{1, 2, 8, 0, 0, 1}}},
        {"12-bit fields round up",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75, 0x0C, 0x95, 0x03, 0x81, 0x02, 0xC0},
         {{1, 2, 6, 0, 0, 1}}}, // 36 bits -> 5 bytes + 1
        {"constant padding counts",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x75, 0x05, 0x95, 0x01,
          0x81, 0x03, 0xC0},
         {{1, 2, 2, 0, 0, 1}}},
        {"extended usage carries its page",
         {0x05, 0x01, 0x0B, 0x01, 0x00, 0xC0, 0xFF, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0},
         {{0xFFC0, 1, 2, 0, 0, 1}}},
        {"push and pop restore size and count",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x02, 0xA4,
          0x75, 0x10, 0x95, 0x04, 0x91, 0x02, 0xB4, 0x81, 0x02, 0xC0},
         {{1, 2, 3, 9, 0, 1}}},
        {"long item skipped",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0xFE, 0x02, 0x10, 0x81, 0x02, 0x75, 0x08, 0x95, 0x01, 0xB1,
          0x02, 0xC0},
         {{1, 2, 0, 0, 2, 1}}},
        {"report ID shared by two top-level collections is counted per collection",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02,
          0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x95, 0x02, 0x81, 0x02, 0xC0},
         {{1, 2, 5, 0, 0, 1}, {0x0C, 1, 3, 0, 0, 1}}},
        {"report split across nested collections adds up; every nested collection is a node",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0xA1, 0x00,
          0x81, 0x02, 0xC0, 0xA1, 0x02, 0xA1, 0x00, 0x81, 0x02, 0xC0, 0xC0, 0xC0},
         {{1, 2, 3, 0, 0, 4}}},
        {"usage page after the usage applies at the collection",
         {0x09, 0x01, 0x06, 0xC0, 0xFF, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0},
         {{0xFFC0, 1, 2, 0, 0, 1}}},
        {"collections left open at the end are closed there",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0xA1, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02},
         {{1, 2, 2, 0, 0, 2}}},
        {"empty descriptor", {}, {}},
    };
    for (const auto& c : cases) {
        const auto got = parseReportDescriptor(c.bytes);
        EXPECT_TRUE(got.ok()) << c.name << ": " << got.error;
        ASSERT_EQ(got.collections.size(), c.want.size()) << c.name;
        for (std::size_t i = 0; i < c.want.size(); ++i)
            EXPECT_EQ(got.collections[i], c.want[i])
                << c.name << ": got " << printCaps(got.collections[i]) << ", want " << printCaps(c.want[i]);
    }
}

TEST(ReportDescriptor, RejectsMalformedDescriptors) {
    std::vector<uint8_t> tooDeep;
    for (int i = 0; i < 200; ++i)
        tooDeep.insert(tooDeep.end(), {0xA1, 0x00});
    std::vector<uint8_t> pushes(100, 0xA4);
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"item cut short", {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x27, 0xFF, 0xFF}},
        {"long item cut short", {0xA1, 0x01, 0xFE, 0x10, 0x00, 0x01, 0xC0}},
        {"long item header cut short", {0xFE, 0x01}},
        {"end collection without collection", {0xC0}},
        {"pop without push", {0xB4}},
        {"report ID 0", {0xA1, 0x01, 0x85, 0x00, 0xC0}},
        {"report ID above 255", {0xA1, 0x01, 0x86, 0x00, 0x01, 0xC0}},
        {"report item outside any collection", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02}},
        {"collections nested too deeply", tooDeep},
        {"push stack overflow", pushes},
        {"too long", std::vector<uint8_t>(velorin::hid::kMaxReportDescriptorSize + 1, 0x00)},
    };
    for (const auto& [name, bytes] : cases) {
        const auto got = parseReportDescriptor(bytes);
        EXPECT_FALSE(got.ok()) << name;
        EXPECT_TRUE(got.collections.empty()) << name;
    }
}

TEST(ReportDescriptor, HugeCountsSaturateInsteadOfWrapping) {
    // 0xFFFFFFFF x 0xFFFFFFFF bits must not wrap around to a small (and plausible) length.
    const std::vector<uint8_t> d = {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0x81, 0x02, 0x81, 0x02, 0xC0};
    const auto got = parseReportDescriptor(d);
    ASSERT_TRUE(got.ok());
    ASSERT_EQ(got.collections.size(), 1u);
    EXPECT_EQ(got.collections[0].inputReportLength, 0xFFFF);
}

TEST(ReportDescriptor, SurvivesRandomAndMutatedInput) {
    std::mt19937 rng(12345);
    const auto reference = loadHex("17CC_1130_0000_FF01.hex");
    ASSERT_FALSE(reference.empty());
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> d;
        if (round % 2) {
            d.resize(rng() % 64);
            for (auto& b : d)
                b = static_cast<uint8_t>(rng());
        } else {
            d = reference;
            for (int m = 0; m < 4; ++m)
                d[rng() % d.size()] = static_cast<uint8_t>(rng());
            d.resize(rng() % (d.size() + 1));
        }
        const auto got = parseReportDescriptor(d);
        // Either well formed with figures, or an error with no figures at all.
        EXPECT_EQ(got.ok() ? 0u : got.collections.size(), 0u);
        for (const auto& c : got.collections)
            EXPECT_GE(c.linkCollectionNodes, 1u);
    }
}
