// Capability figures of a HID report descriptor, computed the way the common desktop HID parser
// reports them: per top-level collection its usage page and usage, the byte length of the largest
// input, output and feature report (report-ID byte included) and the number of link collection
// nodes.
#pragma once

#include "device/hid/HidPlatform.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velorin::hid {

// Descriptors longer than this are refused (the kernel's own limit is 4096 bytes).
inline constexpr std::size_t kMaxReportDescriptorSize = 16384;
// Nesting limits; deeper descriptors are refused.
inline constexpr std::size_t kMaxCollectionDepth = 64;
inline constexpr std::size_t kMaxPushDepth = 16;
// At most this many top-level collections are reported.
inline constexpr std::size_t kMaxTopLevelCollections = 256;

struct DescriptorCaps {
    std::vector<CollectionCaps> collections; // in descriptor order
    bool usesReportIds = false;              // a Report ID item appears anywhere
    std::string error;                       // empty when the descriptor is well formed
    bool ok() const { return error.empty(); }
};

// Parses any byte string without reading past its end; the work is linear in its length.
// A malformed descriptor yields an error and no collections.
DescriptorCaps parseReportDescriptor(std::span<const uint8_t> descriptor);

} // namespace velorin::hid
