// K and M from what other programs write: Matrix Market coordinate files,
// CalculiX stiffness and mass output (.sti, .mas, with the degrees of
// freedom's labels from the .dof beside them), and CSV or tab-separated
// text. Each matrix is read from its own text; its format comes from the
// name's extension, or else from the text itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dense_matrix.h"
#include "core/matrix_store.h"
#include "core/order.h"

namespace varno {

enum class ModelFormat {
    MatrixMarket,  // %%MatrixMarket matrix coordinate real|integer symmetric|general
    Triplets,      // "row column value" lines, 1-based: CalculiX's .sti and .mas
    Delimited,     // rows of comma-, tab- or blank-separated numbers, full or upper triangle
};

// A model file is read whole; one larger than any model the program takes
// could be is refused at once, by its size.
inline constexpr std::size_t MaxModelBytes = std::size_t{1} << 20;
// The same for a model of up to MaxDynamicOrder: its upper triangle, every
// entry written in full, fits.
inline constexpr std::size_t MaxDynamicModelBytes = std::size_t{1} << 29;

// Which matrix a file's name says it holds: CalculiX's extensions (.sti,
// .mas), else a word K or M in the name, or one starting "stiff" or "mass"
// (beam_K.mtx, beam-mass.csv). Unknown where it says neither, or both.
enum class ModelRole { Unknown, K, M };
ModelRole RoleOfName(std::string_view name);

// By extension: .mtx; .sti and .mas; .csv, .tsv and .txt. Nothing for any other name.
std::optional<ModelFormat> FormatOfName(std::string_view name);
// By what the text holds, for a name that does not say.
ModelFormat FormatOfText(std::string_view text);

struct ImportedModel {
    int n = 0;
    Matrix10 K{};  // upper triangles, 1-based as the store holds them, for n <= MaxOrder
    Matrix10 M{};
    // Both whole and symmetric, for any n: what the dynamic-size path takes.
    DenseMatrix k;
    DenseMatrix m;
    // The degrees of freedom's names, where the files give them (CalculiX's
    // "node.direction"); empty otherwise.
    std::vector<std::string> labels;
    // One line naming the file, the line and what is wrong; or the model's
    // size where it is larger than the program takes.
    std::string error;
    // The fault is that a file holds a problem (K and M in one) rather
    // than a matrix: the caller says how to open it instead.
    bool problemFile = false;
    bool ok() const { return error.empty(); }
};

// K and M from their texts; the names are what messages call the files and
// what the format is taken from.
// cap: the largest n taken (MaxOrder for the grid, MaxDynamicOrder for the
// dynamic-size path).
ImportedModel ImportModel(std::string_view kName, std::string_view kText, std::string_view mName,
                          std::string_view mText, int cap = MaxOrder);

// The same from two regular files of at most MaxModelBytes each, and the
// labels from the CalculiX .dof file dofPath where one is named (and has n
// lines); no other file is read. shownK, shownM and shownDof are what
// messages call them (a path escaped for a terminal, say); empty: the paths
// themselves.
struct ModelFiles {
    std::string k = {};
    std::string m = {};
    std::string dof = {};  // empty: none
    std::string shownK = {};
    std::string shownM = {};
    std::string shownDof = {};
    int cap = MaxOrder;  // MaxModelBytes a file up to MaxOrder, MaxDynamicModelBytes beyond
};
ImportedModel ImportModelFiles(const ModelFiles& files);

}  // namespace varno
