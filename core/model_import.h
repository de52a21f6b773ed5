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

#include "core/matrix_store.h"

namespace varno {

enum class ModelFormat {
    MatrixMarket,  // %%MatrixMarket matrix coordinate real|integer symmetric|general
    Triplets,      // "row column value" lines, 1-based: CalculiX's .sti and .mas
    Delimited,     // rows of comma-, tab- or blank-separated numbers, full or upper triangle
};

// By extension: .mtx; .sti and .mas; .csv, .tsv and .txt. Nothing for any other name.
std::optional<ModelFormat> FormatOfName(std::string_view name);
// By what the text holds, for a name that does not say.
ModelFormat FormatOfText(std::string_view text);

struct ImportedModel {
    int n = 0;
    Matrix10 K{};  // upper triangles, 1-based as the store holds them
    Matrix10 M{};
    // The degrees of freedom's names, where the files give them (CalculiX's
    // "node.direction"); empty otherwise.
    std::vector<std::string> labels;
    // One line naming the file, the line and what is wrong; or the model's
    // size where it is larger than the program takes.
    std::string error;
    bool ok() const { return error.empty(); }
};

// K and M from their texts; the names are what messages call the files and
// what the format is taken from.
ImportedModel ImportModel(std::string_view kName, std::string_view kText, std::string_view mName,
                          std::string_view mText);

// The same from two files, with the labels of a CalculiX .dof file beside
// K's where there is one. shownK and shownM are what messages call them
// (a path escaped for a terminal, say); empty: the paths themselves.
ImportedModel ImportModelFiles(const std::string& kPath, const std::string& mPath, std::string_view shownK = {},
                               std::string_view shownM = {});

}  // namespace varno
