#include "device/Discovery.h"

#include "model/Log.h"

#include <cstdio>

namespace velorin::device {
namespace {

constexpr uint16_t kUsagePage = 0xFFC0;
constexpr uint16_t kUsage = 0x0001;
constexpr uint16_t kInputLength = 33;
constexpr uint16_t kOutputLength = 65;
constexpr uint16_t kFeatureLength = 0;
constexpr uint16_t kLinkNodes = 1;

std::string mismatch(const char* what, unsigned have, unsigned want) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s is 0x%X, not 0x%X", what, have, want);
    return buf;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool isAdapterIdentity(const hid::DeviceInfo& info, std::string* whyNot) {
    auto no = [whyNot](std::string why) {
        if (whyNot)
            *whyNot = std::move(why);
        return false;
    };
    if (info.vendorId != kAdapterVendorId)
        return no(mismatch("vendor ID", info.vendorId, kAdapterVendorId));
    if (info.productId != kAdapterProductId)
        return no(mismatch("product ID", info.productId, kAdapterProductId));
    if (info.collections.empty())
        return no("no readable report descriptor");
    // The capability record of an interface describes its first top-level collection.
    const hid::CollectionCaps& c = info.collections.front();
    if (c.usagePage != kUsagePage)
        return no(mismatch("usage page", c.usagePage, kUsagePage));
    if (c.usage != kUsage)
        return no(mismatch("usage", c.usage, kUsage));
    if (c.inputReportLength != kInputLength)
        return no(mismatch("input report length", c.inputReportLength, kInputLength));
    if (c.outputReportLength != kOutputLength)
        return no(mismatch("output report length", c.outputReportLength, kOutputLength));
    if (c.featureReportLength != kFeatureLength)
        return no(mismatch("feature report length", c.featureReportLength, kFeatureLength));
    if (c.linkCollectionNodes != kLinkNodes)
        return no(mismatch("number of link collection nodes", c.linkCollectionNodes, kLinkNodes));
    return true;
}

AdapterHandle OpenAdapterPath(const std::string& path) {
    hid::OpenError error = hid::OpenError::Other;
    std::unique_ptr<hid::HidHandle> handle = hid::platform().open(path, &error);
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

std::optional<std::string> FindAdapter() {
    // Identities come from the enumeration itself; only interfaces that pass are opened.
    for (const hid::DeviceInfo& info : hid::platform().enumerate()) {
        if (!isAdapterIdentity(info))
            continue;
        if (OpenAdapterPath(info.path))
            return info.path;
        // Not openable for reading and writing (no permission, held exclusively), or taken over
        // by another device since the enumeration: skipped.
    }
    return std::nullopt;
}

std::unique_ptr<hid::HidHandle> OpenAdapter() {
    std::string path = adapterPath().get();
    const bool known = !path.empty();
    if (known) {
        AdapterHandle opened = OpenAdapterPath(path);
        if (opened)
            return std::move(*opened);
        if (opened.kind() != hid::OpenError::NotAdapter)
            return nullptr;
        // The node now belongs to another device: forget it, then look for the adapter afresh.
        adapterPath().clearIfSame(path);
    }
    const std::optional<std::string> found = FindAdapter();
    if (!found)
        return nullptr;
    adapterPath().set(*found);
    AdapterHandle opened = OpenAdapterPath(*found);
    return opened ? std::move(*opened) : nullptr;
}

std::vector<AdapterCandidate> DiagnoseAdapters() {
    std::vector<AdapterCandidate> out;
    hid::HidPlatform& p = hid::platform();
    for (const hid::DeviceInfo& info : p.enumerate()) {
        if (!isAdapterIdentity(info))
            continue;
        out.push_back({info.path, OpenAdapterPath(info.path).kind()});
    }
    return out;
}

std::string AdapterPath::get() const {
    std::lock_guard lock(mutex_);
    return path_;
}

bool AdapterPath::empty() const {
    std::lock_guard lock(mutex_);
    return path_.empty();
}

void AdapterPath::set(const std::string& path) {
    std::string copy = path; // allocate outside the lock
    std::lock_guard lock(mutex_);
    path_.swap(copy);
}

void AdapterPath::clear() {
    std::string old;
    std::lock_guard lock(mutex_);
    path_.swap(old);
}

bool AdapterPath::clearIfSame(const std::string& removed) {
    std::lock_guard lock(mutex_);
    if (path_.empty() || path_.size() != removed.size())
        return false;
    for (std::size_t i = 0; i < path_.size(); ++i) {
        if (asciiLower(path_[i]) != asciiLower(removed[i]))
            return false;
    }
    path_.clear();
    return true;
}

AdapterPath& adapterPath() {
    static AdapterPath instance;
    return instance;
}

} // namespace velorin::device
