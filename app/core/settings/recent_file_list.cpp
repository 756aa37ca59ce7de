#include "app/core/settings/recent_file_list.h"

#include <algorithm>

namespace qd40::settings {

namespace {
std::string entryName(int n) {
    return "File" + std::to_string(n);
}
}  // namespace

void RecentFileList::load(const SettingsStore& store) {
    entries_.clear();
    for (int n = 1; n <= size_; ++n) {
        std::string path = store.readString(kSection, entryName(n), {});
        if (!path.empty())
            entries_.push_back(std::move(path));
    }
}

bool RecentFileList::save(SettingsStore& store) const {
    bool ok = true;
    for (int n = 1; n <= size_; ++n) {
        if (n <= static_cast<int>(entries_.size())) {
            ok = store.writeString(kSection, entryName(n), entries_[n - 1]) && ok;
        } else {
            store.deleteEntry(kSection, entryName(n));  // absent already is fine
        }
    }
    return ok;
}

void RecentFileList::add(const std::string& path) {
    if (path.empty())
        return;
    remove(path);
    entries_.insert(entries_.begin(), path);
    if (static_cast<int>(entries_.size()) > size_)
        entries_.resize(size_);
}

void RecentFileList::remove(const std::string& path) {
    entries_.erase(std::remove(entries_.begin(), entries_.end(), path), entries_.end());
}

}  // namespace qd40::settings
