// Many problems in one run: read as a stream, answered in input order by
// any number of worker threads, in memory that does not grow with the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/batch.h"
#include "core/byte_stream.h"

namespace varno {

// Told how far the run has come, from time to time.
class ProgressObserver {
public:
    virtual ~ProgressObserver() = default;
    virtual void Update(std::int64_t problems, std::int64_t bytesRead) = 0;
};

struct StreamOptions {
    bool json = false;
    // Every answer in the stream form from the first problem on, each given
    // as soon as its M has its n rows, and the output flushed before the
    // input is waited for.
    bool stream = false;
    bool strict = false;  // an entry not read whole makes its problem malformed
    bool modes = false;   // each answer with its modes
    // What --directions, --rayleigh and --normalise ask of every problem's
    // modes; a problem they do not fit (another n, no definite matrix) is
    // answered by why, in its place, as a malformed one is.
    ModalOptions modal{};
    int jobs = 1;         // worker threads; 1 does all the work on the calling thread
    // What the messages on err call the input ("beam.varno: line 5: ..."),
    // escaped for a terminal; empty: the input is not named.
    std::string name = {};
};

// A FILE holding any number of problems, each from its line "K" on. One
// problem (at most one line "K", without stream) is answered exactly as
// alone. Otherwise each answer is headed "# problem N (line L)" (plain) or
// carries "line": L (JSON Lines), and a malformed problem is reported in its
// place, and on err, without stopping the others. Warnings go to err. The
// output is the same for any number of jobs. Returns the exit status: 2 if
// any problem was malformed or the input could not be read or the output
// written (one message on err), else 1 if any ended without an eigenvalue
// report, else 0.
int RunProblemStream(ByteSource& in, ByteSink& out, ByteSink& err, const StreamOptions& options,
                     ProgressObserver* progress = nullptr);

// The same on a text in memory, read at most chunk bytes at a time; for
// tests and the fuzzer.
int RunProblemText(std::string_view input, std::string& out, std::string& err, const StreamOptions& options,
                   std::size_t chunk = std::size_t{1} << 16);

// The worker threads to use when not told: the cores this process may run on.
int DefaultJobs();

}  // namespace varno
