// What the window holds against what was last opened or saved, what to do
// before it is left, and the recent files. Plain C++ with no widgets, so
// that the rules are checked without a window; the questions themselves are
// asked through callbacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/matrix_store.h"

namespace varno::ui {

enum class SaveAnswer { Save, Discard, Cancel };

class Session {
public:
    // The store now holds what was started with, opened or saved.
    void MarkSaved(const MatrixStore& store);
    // Whether a Save would now write something else than what was marked.
    bool Modified(const MatrixStore& store) const;

    // Before the problem is left (the window closed, another file opened):
    // true to go on. Asks only where something would be lost; after Save,
    // goes on only where the save succeeded.
    bool MayLeave(const MatrixStore& store, const std::function<SaveAnswer()>& ask,
                  const std::function<bool()>& save) const;

    // The file the problem came from or went to; empty before the first
    // Open or Save.
    const std::string& path() const { return path_; }
    void setPath(std::string path) { path_ = std::move(path); }
    // The file's name without its folder, "Untitled" without a file.
    std::string DisplayName() const;

private:
    // The dimension and the bits of both upper triangles for it: what a
    // Save writes. Empty where nothing would be lost: no dimension, or
    // nothing but zeros typed.
    static std::vector<std::uint64_t> Content(const MatrixStore& store);

    std::vector<std::uint64_t> saved_;
    std::string path_;
};

// The recent files after path was opened or saved: path first, each file
// once, at most RecentCount.
inline constexpr std::size_t RecentCount = 8;
std::vector<std::string> WithRecent(std::vector<std::string> recent, const std::string& path);

}  // namespace varno::ui
