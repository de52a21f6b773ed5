// Saving a problem back into the file it was opened from, in its place:
// every byte of the file before and after it as it was, and within it the
// lines "K" and "M", its comments and blank lines too. Of its rows, one
// whose entries all keep their bits keeps its text; the others are written
// anew, as a Save writes them, and where n changed rows are added after the
// last of their matrix or dropped from its end.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_stream.h"
#include "core/direction.h"
#include "core/matrix_store.h"
#include "core/problem_file.h"

namespace varno {

// Streams the new contents of the file in to put: the problem read (at
// read.offset, with read's texts) replaced by K and M for n, and its
// directions, where they changed, by directions (in place of its directions
// line, which may stand among the comments after it, or in a line of their
// own after its last row; none and all x are the same). Returns "" when
// done; else why the problem cannot be rewritten in place (it is no longer
// the problem read there, or a line within it is too long to hold), for the
// user to save elsewhere; or in's read error. Memory stays bounded whatever
// the file's size.
std::string SpliceProblem(ByteSource& in, const FileProblem& read, const Matrix10& K, const Matrix10& M, int n,
                          const std::vector<Direction>& directions, const std::function<bool(std::string_view)>& put);

}  // namespace varno
