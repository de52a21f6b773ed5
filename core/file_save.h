// Saving a file so that it is never emptied, cut short or dropped: the new
// contents go to a hidden file beside it, every byte is checked to have
// reached the disk (each write, the sync, the size, the close), and only then
// does the hidden file take the name. On any failure the file as it was
// stays, and the hidden one goes.
//
// The file keeps its owner, group and permission bits where the saver may
// give them (root may; another user keeps only the bits), and a symbolic
// link stays a link to the saved file. A hard link cannot be kept this way:
// the outcome says so, for the user to be told.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_io.h"

namespace varno {

// The seam to the disk: the calls whose failure loses data. Tests put a
// short write or a full disk here; everything else is the system's own.
class SaveIo {
public:
    virtual ~SaveIo() = default;
    virtual ssize_t Write(int fd, const char* data, std::size_t size);
    virtual int Sync(int fd);
};

// What the save writes, in pieces: calls put with each (false: stop, the
// save fails), and says why where it could not make them ("" where put
// refused one). An 80 MB file goes through in bounded memory.
using SaveContents = std::function<std::string(const std::function<bool(std::string_view)>& put)>;

struct SaveOutcome {
    std::string error;  // why nothing was saved, for "Cannot save NAME: ..."
    FileStamp stamp;    // of the file as saved
    // Done, but not all as it was: "it was owned by user 1000; it is now
    // yours", "its other name (a hard link) keeps the old contents".
    std::vector<std::string> notes;
    bool ok() const { return error.empty(); }
};

SaveOutcome SaveFile(const std::string& path, const SaveContents& contents, SaveIo& io);
SaveOutcome SaveFile(const std::string& path, std::string_view text, SaveIo& io);

// The system's own calls.
SaveIo& SystemSaveIo();

}  // namespace varno
