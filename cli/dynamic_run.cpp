#include "cli/dynamic_run.h"

#include <algorithm>
#include <cmath>

#include "certified/dynamic/directions.h"
#include "certified/dynamic/kernel_threads.h"
#include "cli/output_text.h"
#include "core/matrix_rows.h"
#include "core/message_text.h"
#include "core/model_formats.h"
#include "core/number_text.h"
#include "core/order.h"
#include "core/problem_lines.h"

namespace varno {
namespace {

void AppendModesTable(std::string& out, const DynamicRun& run)
{
    const DynamicCalculation& c = run.calculation;
    if (!c.modes) {
        out += "No modes: neither M, -M, K nor -K is safely definite.\n\n";
        return;
    }
    const DynamicModalResult& r = *c.modes;
    const std::size_t shown = r.lambda.size();
    out += "Modes\n mode          lambda     bound       omega           f           T\n";
    for (std::size_t k = 0; k < shown; ++k) {
        AppendG(out, static_cast<double>(k + 1), 5, 10);
        AppendCell(out, r.lambda[k], 16, 8);
        const std::string bound = BoundText(r.bound[k]);
        out.append(bound.size() < 10 ? 10 - bound.size() : 1, ' ');
        out += bound;
        AppendCell(out, r.omega[k], 12, 5);
        AppendCell(out, r.hertz[k], 12, 5);
        AppendCell(out, r.period[k], 12, 5);
        out += '\n';
    }
    if (shown < static_cast<std::size_t>(r.n))
        out += " the first " + std::to_string(shown) + " of " + std::to_string(r.n) + " modes\n";
    if (r.massDefinite) {
        out += " total mass ";
        AppendG(out, r.totalMass, 0, 5);
        out += '\n';
    }
    for (const DirectionParticipation& d : run.byDirection) {
        const std::string label(DirectionLabel(d.direction));
        const std::string unit = MassUnitWord(d.direction);
        out += "\nParticipation in " + label + ": total mass ";
        AppendG(out, d.totalMass, 0, 5);
        out += " " + unit + "\n mode       gamma   eff. mass    share   cumul.\n";
        for (std::size_t k = 0; k < shown; ++k) {
            AppendG(out, static_cast<double>(k + 1), 5, 10);
            AppendCell(out, d.participation[k], 12, 5);
            AppendCell(out, d.effectiveMass[k], 12, 5);
            AppendShare(out, d.share[k], 9, false);
            AppendShare(out, d.cumulative[k], 9, false);
            out += static_cast<int>(k + 1) == d.reaches90 ? " <- 90 %\n" : "\n";
        }
        if (d.reaches90 == 0 || d.reaches90 > static_cast<int>(shown))
            out += shown < static_cast<std::size_t>(r.n) ? " the first " + std::to_string(shown) + " modes do not reach 90 %\n"
                                                         : " the cumulative share does not reach 90 %\n";
    }
    out += '\n';
}

}  // namespace

std::size_t RowCount(std::string_view rows) { return SplitRows(rows, false).size(); }

std::optional<SymmetricPencil> ParseDynamicRows(std::string_view kRows, std::string_view mRows, std::string& error)
{
    const std::size_t count = RowCount(kRows);
    if (const std::string why = ModelSizeFault(static_cast<std::int64_t>(count), MaxDynamicOrder); !why.empty()) {
        error = why;
        return std::nullopt;
    }
    // The rows as a file's problem holds them: one reader of them.
    ProblemLines lines;
    lines.cap = MaxDynamicOrder;
    std::string text;
    for (std::size_t m = 0; m < 2; ++m) {
        lines.section = static_cast<int>(m);
        for (const std::string_view row : SplitRows(m == 0 ? kRows : mRows, false)) lines.Add(LineKind::Row, row, 0, text);
    }
    SymmetricPencil p;
    std::int64_t line = 0;
    error = lines.Whole(text, p.K, p.M, line);
    if (!error.empty()) return std::nullopt;
    return p;
}

DynamicRun RunDynamic(const SymmetricPencil& pencil, bool modes, int first, const std::vector<Direction>& directions)
{
    DynamicRun run;
    run.modes = modes;
    run.first = first;
    run.directions = directions;
    run.calculation = CalculateDynamic(pencil, modes, first);
    if (modes && run.calculation.modes) {
        const std::vector<Direction> labels =
            directions.empty() ? std::vector<Direction>(static_cast<std::size_t>(pencil.n()), Direction::X) : directions;
        run.byDirection = DynamicParticipation(*run.calculation.modes, pencil.M, labels);
    }
    return run;
}

void KernelThreadsForAlone(int n, int cores) { LimitKernelThreads(n < 200 ? 1 : cores); }

std::string DynamicPlainOutput(const DynamicRun& run)
{
    std::string out = run.calculation.message + "\n\n";
    if (run.modes && run.calculation.report) AppendModesTable(out, run);
    return out;
}

std::string DynamicJsonOutput(const DynamicRun& run, std::int64_t line)
{
    const DynamicCalculation& c = run.calculation;
    std::string out = "{";
    if (line > 0) out += "\"line\": " + std::to_string(line) + ", ";
    out += "\"n\": " + std::to_string(c.n) + ", \"messages\": [";
    AppendJsonString(out, c.message);
    out += "], \"reports\": [";
    const auto values = [&] {
        out += '[';
        for (std::size_t k = 0; k < c.eigenvalues.size(); ++k) {
            out += k > 0 ? ", [" : "[";
            AppendJsonNumber(out, c.eigenvalues[k].re);
            out += ", ";
            AppendJsonNumber(out, c.eigenvalues[k].im);
            out += ']';
        }
        out += ']';
    };
    if (c.report) values();
    out += "], \"eigenvalues\": ";
    if (c.report)
        values();
    else
        out += "null";
    if (run.modes) {
        out += ", \"modes\": ";
        if (!c.modes) {
            out += "null";
        } else {
            const DynamicModalResult& r = *c.modes;
            const std::size_t n = static_cast<std::size_t>(r.n);
            const std::size_t shown = r.lambda.size();
            const DirectionParticipation* all = run.directions.empty() && !run.byDirection.empty() ? &run.byDirection[0] : nullptr;
            out += '[';
            for (std::size_t k = 0; k < shown; ++k) {
                out += k > 0 ? ", {\"lambda\": " : "{\"lambda\": ";
                AppendJsonQuantity(out, r.lambda[k]);
                out += ", \"bound\": ";
                AppendJsonQuantity(out, r.bound[k]);
                out += ", \"vector\": [";
                for (std::size_t i = 0; i < n; ++i) {
                    if (i > 0) out += ", ";
                    AppendJsonQuantity(out, r.vectors.n > 0 ? r.vectors(static_cast<int>(i), static_cast<int>(k)) : 0.0);
                }
                out += "], \"omega\": ";
                AppendJsonQuantity(out, r.omega[k]);
                out += ", \"hertz\": ";
                AppendJsonQuantity(out, r.hertz[k]);
                out += ", \"period\": ";
                AppendJsonQuantity(out, r.period[k]);
                if (all != nullptr) {
                    const bool mass = !std::isnan(all->effectiveMass[k]);
                    out += ", \"participation\": ";
                    AppendJsonQuantity(out, all->participation[k]);
                    out += ", \"generalised_mass\": ";
                    AppendJsonQuantity(out, mass ? 1.0 : all->effectiveMass[k]);
                    out += ", \"gamma\": ";
                    AppendJsonQuantity(out, all->participation[k]);
                    out += ", \"effective_mass\": ";
                    AppendJsonQuantity(out, all->effectiveMass[k]);
                }
                out += '}';
            }
            out += ']';
            // Mass-normalised shapes: M* = 1, Gamma = L.
            if (!run.directions.empty())
                AppendJsonByDirection(out, run.directions, &run.byDirection, std::vector<double>(shown, 1.0));
            if (run.first > 0) out += ", \"first\": " + std::to_string(shown);
        }
    }
    out += ", \"mended\": false}\n";
    return out;
}

}  // namespace varno
