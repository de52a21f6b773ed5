// What the window holds against what was last opened or saved, what to do
// before it is left, and the recent files. Plain C++ with no widgets, so
// that the rules are checked without a window; the questions themselves are
// asked through callbacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/direction.h"
#include "core/matrix_store.h"
#include "core/problem_document.h"

namespace varno::ui {

enum class SaveAnswer { Save, Discard, Cancel };
enum class ChangedAnswer { Overwrite, SaveAs, Cancel };

class Session {
public:
    // The store and the directions now hold what was started with, opened
    // or saved.
    void MarkSaved(const MatrixStore& store, const std::vector<Direction>& directions = {});
    // Whether a Save would now write something else than what was marked.
    bool Modified(const MatrixStore& store, const std::vector<Direction>& directions = {}) const;

    // Before the problem is left (the window closed, another file opened):
    // true to go on. Asks only where something would be lost; after Save,
    // goes on only where the save succeeded.
    bool MayLeave(const MatrixStore& store, const std::vector<Direction>& directions,
                  const std::function<SaveAnswer()>& ask, const std::function<bool()>& save) const;

    // The file the problem came from or went to, and where in it; none
    // before the first Open or Save, nor after an Import.
    const std::optional<ProblemSource>& source() const { return source_; }
    void setSource(std::optional<ProblemSource> source) { source_ = std::move(source); }
    // The file's path (bytes, as the system has them); empty without one.
    std::string path() const { return source_ ? source_->path : std::string(); }
    // The file's name without its folder, escaped where its bytes are no
    // text; "Untitled" without a file.
    std::string DisplayName() const;

    // The dimension, the bits of both upper triangles for it and the
    // directions: what a Save writes. Empty where nothing would be lost: no
    // dimension, or nothing but zeros typed.
    static std::vector<std::uint64_t> Content(const MatrixStore& store, const std::vector<Direction>& directions);

private:

    std::vector<std::uint64_t> saved_;
    std::optional<ProblemSource> source_;
};

// The recent files after path was opened or saved: path first, each file
// once, at most RecentCount.
inline constexpr std::size_t RecentCount = 8;
std::vector<std::string> WithRecent(std::vector<std::string> recent, const std::string& path);
// The recent files without path, which is gone.
std::vector<std::string> WithoutRecent(std::vector<std::string> recent, const std::string& path);

}  // namespace varno::ui
