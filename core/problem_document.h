// The desktop program's file commands below the window: each step of Open
// and Save as one call, made to run off the window's thread, that touches
// only the file it is given.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "core/file_io.h"
#include "core/file_save.h"
#include "core/problem_file.h"

namespace varno {

// Where the problem shown came from, to save it back there.
struct ProblemSource {
    std::string path;
    FileStamp stamp;   // of the file as opened or last saved
    FileProblem read;  // the problem as it is there: its place and its texts
};

// Open's first step: the whole file read once, in bounded memory.
struct ProblemFileOpen {
    ProblemFileScan scan;
    FileStamp stamp;
    std::string error;     // the reason it cannot be opened ("No such file or directory"), or the scan's fault
    bool missing = false;  // there is no such file
    bool ok() const { return error.empty(); }
};
ProblemFileOpen OpenProblemFile(const std::string& path, const std::atomic<bool>* stop);

// Open's second step, for a file of several: the problem at entry, read
// again from where the scan found it, as long as the file is as it was then.
struct PickedProblem {
    FileProblem problem;
    std::string error;
    bool ok() const { return error.empty(); }
};
PickedProblem ReadPickedProblem(const std::string& path, const FileStamp& stamp, const ProblemEntry& entry,
                                const std::atomic<bool>* stop);

// A Save: the outcome, and where the problem now is.
struct ProblemSave {
    SaveOutcome outcome;
    ProblemSource source;  // where the saved problem is, for the next Save
    // Not saved because the problem cannot be rewritten where it was read
    // (the file changed, or a line of it is too long to hold): it can still
    // be saved elsewhere.
    bool elsewhere = false;
    bool stopped = false;  // told to stop before it was done
};

// The problem (and its directions) back into the file it came from, in its
// place, every other byte kept; only while the file is as source says.
ProblemSave SaveProblemInPlace(const ProblemSource& source, const Matrix10& K, const Matrix10& M, int n,
                               const std::vector<Direction>& directions, SaveIo& io, const std::atomic<bool>* stop);

// The problem alone, as a new file or in place of whatever path holds.
ProblemSave SaveProblemAs(const std::string& path, const Matrix10& K, const Matrix10& M, int n,
                          const std::vector<Direction>& directions, std::string_view version, SaveIo& io,
                          const std::atomic<bool>* stop);

}  // namespace varno
