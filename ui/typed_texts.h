// Texts typed into cells that are not read as they look ("1,5" read as 1).
// Redisplaying a matrix writes each stored value's own text into its cell,
// which would take the mark away; kept here per matrix and cell while the
// value they gave stays stored, the mark and the text typed come back with
// the matrix. Plain C++, no widgets.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "core/matrix_store.h"

namespace varno::ui {

class TypedTexts {
public:
    // Text typed (or pasted, or read from a file) into a cell of which:
    // kept where it is misread, else whatever was kept is dropped.
    void Typed(Which which, int cell, const std::string& text);
    // The note for a cell of which that shows value: the kept text's, naming
    // it, while that text still gives exactly value; else "" and the text is
    // dropped.
    std::string NoteFor(Which which, int cell, double value);
    void Clear() { texts_.clear(); }

private:
    std::map<std::pair<Which, int>, std::string> texts_;
};

}  // namespace varno::ui
