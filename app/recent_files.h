// The recent files kept between runs: a file of their paths in the user's
// settings folder, saved as a problem is (whole or not at all) and without
// a lock file, which one left by another host would hold for half a minute
// at every change.
#pragma once

#include <string>
#include <vector>

namespace varno::app {

class RecentFilesStore {
public:
    // file: where the list lives; its folder is made where it is missing.
    explicit RecentFilesStore(std::string file) : file_(std::move(file)) {}

    // The paths stored, most recent first; none where there is no list yet
    // or it cannot be read.
    std::vector<std::string> Load() const;
    // False where the list could not be written; the old one stays then.
    bool Store(const std::vector<std::string>& paths) const;
    bool Exists() const;

private:
    std::string file_;
};

// $XDG_CONFIG_HOME/varno/recent-files, or ~/.config/varno/recent-files.
std::string DefaultRecentFilesPath();

}  // namespace varno::app
