// The recent-file list kept in the per-user store: section "Recent File
// List", entries "File1".."FileN", most recent first.
#pragma once
#include <string>
#include <vector>

#include "app/core/settings/settings_store.h"

namespace qd40::settings {

class RecentFileList {
public:
    static constexpr const char* kSection = "Recent File List";
    static constexpr int kDefaultSize = 4;

    explicit RecentFileList(int size = kDefaultSize) : size_(size < 1 ? 1 : size) {}

    void load(const SettingsStore& store);
    // Writes the present entries and deletes the unused ones.
    bool save(SettingsStore& store) const;
    // Puts the path at the head (moving it when already listed) and drops the
    // oldest entries beyond the size.
    void add(const std::string& path);
    void remove(const std::string& path);
    const std::vector<std::string>& entries() const { return entries_; }

private:
    int size_;
    std::vector<std::string> entries_;
};

}  // namespace qd40::settings
