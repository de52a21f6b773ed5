// Calculate for a model of more than MaxOrder degrees of freedom, which the
// grid cannot hold: the same checks and the same report, on the dynamic-size
// path (certified/dynamic/). Where one of M, -M, K, -K is safely definite,
// the certified eigenvalues of the modes; otherwise QZ's. The report is the
// 4 x 4 report's form with lines lambda1 ... lambdan.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "certified/dynamic/general.h"
#include "certified/dynamic/modes.h"
#include "core/framework.h"

namespace varno {

struct DynamicCalculation {
    int n = 0;
    std::string message;  // the report, or why there is none: shown either way
    bool report = false;  // message is an eigenvalue report
    ReportForm form;
    std::vector<Eigenvalue> eigenvalues;      // the report's values, at full precision
    std::optional<DynamicModalResult> modes;  // where a definite pencil's modes were asked for
};

// K and M whole and symmetric. withVectors: the modes' vectors and
// frequencies too (the eigenvalues and bounds come either way). first > 0:
// only the lowest that many, in the report too, where the pencil is
// definite (DynamicModesOf).
DynamicCalculation CalculateDynamic(const SymmetricPencil& pencil, bool withVectors, int first = 0);

}  // namespace varno
