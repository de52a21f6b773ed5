// The batch command for a model of more than MaxOrder degrees of freedom:
// ROWS read into whole matrices, the dynamic-size Calculate, and its answer
// for a person or as one JSON object with the keys of the small models'.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "certified/modal_directions.h"
#include "core/dense_matrix.h"
#include "core/direction.h"
#include "driver/calculate_dynamic.h"

namespace varno {

// The number of rows ROWS holds (';'-separated, empty ones not counted).
std::size_t RowCount(std::string_view rows);

// K and M from ROWS of any n up to MaxDynamicOrder: row i holds n entries or
// the n - i + 1 from the diagonal on. Empty where error says why.
std::optional<SymmetricPencil> ParseDynamicRows(std::string_view kRows, std::string_view mRows, std::string& error);

struct DynamicRun {
    DynamicCalculation calculation;
    bool modes = false;  // the modes were asked for
    int first = 0;       // show only the first this many modes (0: all)
    std::vector<Direction> directions;
    std::vector<DirectionParticipation> byDirection;
};

// Calculates; with modes the vectors, and with directions (n labels; x for
// all where empty) each one's participation.
DynamicRun RunDynamic(const SymmetricPencil& pencil, bool modes, int first, const std::vector<Direction>& directions);

// The BLAS threads for one problem of order n run alone: below a few
// hundred degrees of freedom waking threads costs more than they share
// (ten times the work at n = 10), above it all of cores help.
void KernelThreadsForAlone(int n, int cores);

std::string DynamicPlainOutput(const DynamicRun& run);
// line > 0: "line": L first, as each object of a stream of problems has.
std::string DynamicJsonOutput(const DynamicRun& run, std::int64_t line = 0);

// 0 when an eigenvalue report was shown, 1 otherwise.
inline int ExitStatusOf(const DynamicRun& run) { return run.calculation.report ? 0 : 1; }

}  // namespace varno
