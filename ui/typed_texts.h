// Texts typed into cells that are not read as they look ("1,5" read as 1).
// Redisplaying a matrix writes each stored value's own text into its cell,
// which would take the mark away; kept here per matrix and cell while the
// value they gave stays stored, the mark and the text typed come back with
// the matrix. Plain C++, no widgets.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

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

    // The cells of the problem in store (the first n rows and columns of K
    // and M) whose kept text still gives the value stored: K's first, row
    // by row.
    struct Misread {
        Which which;
        int i;
        int j;
        std::string text;
        double value;
    };
    std::vector<Misread> Misreads(const MatrixStore& store) const;

private:
    std::map<std::pair<Which, int>, std::string> texts_;
};

// The line that says so where the user looks when pressing Calculate: "2
// cells are not read as typed: M(1,1) "2,0e4" is read as 2; M(1,2) "abc"
// is read as 0."; empty where every cell reads whole.
std::string MisreadLine(const std::vector<TypedTexts::Misread>& misreads);

}  // namespace varno::ui
