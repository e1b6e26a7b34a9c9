#include "device/Discovery.h"

#include "core/Identity.h"
#include "model/Log.h"

#include <cstdio>

namespace velorin::device {
namespace {

// A report length as the capability record counts it: the report-ID byte and the data bytes, 0
// for no report.
constexpr unsigned capsLength(unsigned dataBytes) {
    return dataBytes == 0 ? 0 : dataBytes + 1;
}

std::string mismatch(const char* what, unsigned have, unsigned want) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s is 0x%X, not 0x%X", what, have, want);
    return buf;
}

} // namespace

bool isAdapterIdentity(const hid::DeviceInfo& info, std::string* whyNot) {
    auto no = [whyNot](std::string why) {
        if (whyNot)
            *whyNot = std::move(why);
        return false;
    };
    const HidIdentity& want = kAdapterIdentity;
    if (info.vendorId != want.vendorId)
        return no(mismatch("vendor ID", info.vendorId, want.vendorId));
    if (info.productId != want.productId)
        return no(mismatch("product ID", info.productId, want.productId));
    if (info.collections.empty())
        return no("no readable report descriptor");
    // The capability record of an interface describes its first top-level collection.
    const hid::CollectionCaps& c = info.collections.front();
    const struct {
        const char* what;
        unsigned have;
        unsigned want;
    } figures[] = {
        {"usage page", c.usagePage, want.usagePage},
        {"usage", c.usage, want.usage},
        {"input report length", c.inputReportLength, capsLength(want.inputBytes)},
        {"output report length", c.outputReportLength, capsLength(want.outputBytes)},
        {"feature report length", c.featureReportLength, capsLength(want.featureBytes)},
        {"number of link collection nodes", c.linkCollectionNodes, want.linkCollections},
    };
    for (const auto& f : figures) {
        if (f.have != f.want)
            return no(mismatch(f.what, f.have, f.want));
    }
    return true;
}

AdapterHandle OpenAdapterPath(hid::HidPlatform& platform, const std::string& path) {
    hid::OpenError error = hid::OpenError::Other;
    std::unique_ptr<hid::HidHandle> handle = platform.open(path, &error);
    if (!handle)
        return Error<hid::OpenError>{error, {}};
    std::string whyNot;
    if (!isAdapterIdentity(handle->identity(), &whyNot)) {
        qCWarning(lcSoui) << "the interface opened at" << path.c_str()
                          << "is not the adapter:" << whyNot.c_str();
        return Error<hid::OpenError>{hid::OpenError::NotAdapter, whyNot};
    }
    return handle;
}

std::optional<std::string> FindAdapter(hid::HidPlatform& platform) {
    // Identities come from the enumeration itself; only interfaces that pass are opened.
    for (const hid::DeviceInfo& info : platform.enumerate()) {
        if (!isAdapterIdentity(info))
            continue;
        if (OpenAdapterPath(platform, info.path))
            return info.path;
        // Not openable for reading and writing (no permission, held exclusively), or taken over
        // by another device since the enumeration: skipped.
    }
    return std::nullopt;
}

std::unique_ptr<hid::HidHandle> OpenAdapter(AdapterSession& session) {
    hid::HidPlatform& platform = session.platform();
    AdapterPath& adapterPath = session.adapterPath();
    std::string path = adapterPath.get();
    const bool known = !path.empty();
    if (known) {
        AdapterHandle opened = OpenAdapterPath(platform, path);
        if (opened)
            return std::move(*opened);
        if (opened.kind() != hid::OpenError::NotAdapter)
            return nullptr;
        // The node now belongs to another device: forget it, then look for the adapter afresh.
        adapterPath.clearIfSame(path);
    }
    const std::optional<std::string> found = FindAdapter(platform);
    if (!found)
        return nullptr;
    adapterPath.set(*found);
    AdapterHandle opened = OpenAdapterPath(platform, *found);
    if (opened)
        return std::move(*opened);
    // Gone between the scan and the open: its removal may already have been handled, so the path
    // stored here would outlive the adapter.
    adapterPath.clearIfSame(*found);
    return nullptr;
}

std::vector<AdapterCandidate> DiagnoseAdapters(hid::HidPlatform& platform) {
    std::vector<AdapterCandidate> out;
    for (const hid::DeviceInfo& info : platform.enumerate()) {
        if (!isAdapterIdentity(info))
            continue;
        out.push_back({info.path, OpenAdapterPath(platform, info.path).kind()});
    }
    return out;
}

} // namespace velorin::device
