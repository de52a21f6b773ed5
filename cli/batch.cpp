#include "cli/batch.h"

#include "cli/output_text.h"
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "core/matrix_rows.h"
#include "core/matrix_store.h"
#include "core/message_text.h"
#include "core/number_text.h"
#include "driver/calculate.h"

namespace varno {
namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The common case at once: an entry that is one number and nothing else,
// read by the very conversion ParseCellText makes of it. Anything else
// (blanks, text after the number, a number out of range) is left to the
// cell reader and its checks.
bool ReadWhole(std::string_view entry, double& value)
{
    if (entry.empty()) return false;
    const bool sign = entry.front() == '-' || entry.front() == '+';
    const char* begin = entry.data() + (sign ? 1 : 0);
    const char* end = entry.data() + entry.size();
    if (begin == end || !((*begin >= '0' && *begin <= '9') || *begin == '.')) return false;
    double magnitude = 0.0;
    const auto result = std::from_chars(begin, end, magnitude, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end) return false;
    value = entry.front() == '-' ? -magnitude : magnitude;
    return true;
}

// The values of one matrix of n rows from its entry texts. An entry not
// read whole is a warning, or with strict the fault, with the line of its
// row where the rows came with lines.
bool FillMatrix(std::span<const ProblemLines::Row> rows, const UpperTexts& texts, char name, int n,
                std::array<std::array<double, MaxOrder>, MaxOrder>& out, bool strict, BatchParse& result)
{
    for (std::size_t r = 0; r < static_cast<std::size_t>(n); ++r)
        for (std::size_t c = r; c < static_cast<std::size_t>(n); ++c) {
            const std::string_view entry = texts[r][c];
            if (ReadWhole(entry, out[r][c])) continue;
            out[r][c] = ParseCellText(entry);
            // Read whole after all: the number, or nothing, and blanks after it.
            const std::size_t used = NumberPrefixLength(entry);
            if (std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(used), entry.end(), IsCSpace)) continue;
            std::string note = std::string(1, name) + " row " + std::to_string(r + 1) + ", column " +
                               std::to_string(c + 1) + ": " + Quoted(entry) + " is read as " +
                               FormatShortest(out[r][c]);
            const std::int64_t line = rows[r].line;
            if (strict) {
                result.reason = std::move(note);
                result.errorLine = line;
                return false;
            }
            result.warnings.push_back(line > 0 ? "line " + std::to_string(line) + ": " + note : note);
        }
    return true;
}

// The modes of a run that showed a report, for a person: one line a mode,
// then the shapes with one column a mode, as structural codes print them;
// digits enough to read, not every digit there is (that is the JSON's job).
void AppendModesTable(std::string& out, const BatchRun& run)
{
    if (!run.modes) {
        out += "No modes: neither M, -M, K nor -K is safely definite.\n\n";
        return;
    }
    const ModalResult& r = *run.modes;
    const ModalOptions& asked = run.modal;
    const auto n = static_cast<std::size_t>(r.n);
    // Per direction, the effective masses get a table each; otherwise they
    // are those of every degree of freedom moving together.
    const bool together = asked.directions.empty();
    out += "Modes\n mode          lambda     bound       omega           f           T";
    if (together) out += "   eff. mass    share";
    if (run.damping) out += "        zeta";
    out += '\n';
    for (std::size_t k = 0; k < n; ++k) {
        const Mode& m = r.modes[k];
        AppendG(out, static_cast<double>(k + 1), 5, 1);
        AppendCell(out, m.lambda, 16, 8);
        // Rounded up, as the window shows it: to nearest, a bound could come out below itself.
        const std::string bound = BoundText(m.bound);
        out.append(bound.size() < 10 ? 10 - bound.size() : 1, ' ');
        out += bound;
        AppendCell(out, m.omega, 12, 5);
        AppendCell(out, m.hertz, 12, 5);
        AppendCell(out, m.period, 12, 5);
        if (together) {
            AppendCell(out, m.effectiveMass, 12, 5);
            AppendShare(out, 100 * m.effectiveMass / r.totalMass, 7, true);
        }
        if (run.damping) AppendCell(out, run.damping->zeta[k], 12, 5);
        out += '\n';
    }
    if (r.massDefinite && together) {
        out += " total mass ";
        AppendG(out, r.totalMass, 0, 5);
        out += '\n';
    }
    if (const CriticalLoad critical = CriticalLoadOf(r); critical.mode != 0) {
        out += " critical load factor ";
        AppendG(out, critical.lambda, 0, 8);
        out += " (mode " + std::to_string(critical.mode) + ", the smallest positive lambda)\n";
    }
    if (run.damping) {
        const RayleighRequest& q = *asked.rayleigh;
        out += " Rayleigh damping from modes " + std::to_string(q.i) + " and " + std::to_string(q.j) + " (zeta ";
        AppendG(out, q.zetaI, 0, 5);
        out += " and ";
        AppendG(out, q.zetaJ, 0, 5);
        out += "): C = a0 M + a1 K, a0 = ";
        AppendG(out, run.damping->a0, 0, 5);
        out += " 1/s, a1 = ";
        AppendG(out, run.damping->a1, 0, 5);
        out += " s\n";
    }
    for (const DirectionParticipation& d : run.byDirection) {
        const std::string label(DirectionLabel(d.direction));
        const std::string unit = MassUnitWord(d.direction);
        out += "\nParticipation in " + label + ": total mass ";
        AppendG(out, d.totalMass, 0, 5);
        out += " " + unit + ", effective masses added up ";
        AppendG(out, d.sum, 0, 5);
        out += " " + unit + "\n mode           L          M*       gamma   eff. mass    share   cumul.\n";
        for (std::size_t k = 0; k < n; ++k) {
            const ModalFactors f = ModalFactorsOf(d.participation[k], d.effectiveMass[k], run.shapes.divisor[k]);
            AppendG(out, static_cast<double>(k + 1), 5, 1);
            AppendCell(out, f.participation, 12, 5);
            AppendCell(out, std::isnan(f.effectiveMass) ? f.effectiveMass : f.generalisedMass, 12, 5);
            AppendCell(out, f.gamma, 12, 5);
            AppendCell(out, f.effectiveMass, 12, 5);
            AppendShare(out, d.share[k], 9, false);
            AppendShare(out, d.cumulative[k], 9, false);
            out += static_cast<int>(k + 1) == d.reaches90 ? " <- 90 %\n" : "\n";
        }
        if (d.reaches90 == 0) out += " the cumulative share does not reach 90 %\n";
    }
    out += "\nMode shapes\n";
    if (asked.normalisation) {
        const Normalisation& how = *asked.normalisation;
        out += how.kind == NormalisationKind::Mass
                   ? (r.massDefinite ? " normalised: x^T M x = 1\n" : " normalised: largest component 1 (M is not definite)\n")
               : how.kind == NormalisationKind::Largest ? " normalised: largest component 1\n"
                                                        : " normalised: 1 at degree of freedom " + std::to_string(how.dof) + "\n";
    }
    out += "  dof";
    for (std::size_t k = 0; k < n; ++k) {
        out += "        mode ";
        AppendG(out, static_cast<double>(k + 1), 1, 1);
    }
    if (!together) out += "  direction";
    for (std::size_t i = 0; i < n; ++i) {
        out += '\n';
        AppendG(out, static_cast<double>(i + 1), 5, 1);
        for (std::size_t k = 0; k < n; ++k)
            AppendCell(out, ShapeComponent(r, run.shapes, static_cast<int>(k), static_cast<int>(i)), 14, 6);
        if (!together) (out += "  ") += DirectionLabel(asked.directions[i]);
    }
    out += "\n\n";
}

void AppendJsonModes(std::string& out, const ModalResult& r, const NormalisedShapes& shapes)
{
    out += '[';
    for (std::size_t k = 0; k < static_cast<std::size_t>(r.n); ++k) {
        const Mode& m = r.modes[k];
        out += k > 0 ? ", {\"lambda\": " : "{\"lambda\": ";
        AppendJsonQuantity(out, m.lambda);
        out += ", \"bound\": ";
        AppendJsonQuantity(out, m.bound);
        out += ", \"vector\": [";
        for (std::size_t i = 0; i < static_cast<std::size_t>(r.n); ++i) {
            if (i > 0) out += ", ";
            AppendJsonQuantity(out, ShapeComponent(r, shapes, static_cast<int>(k), static_cast<int>(i)));
        }
        out += "], \"omega\": ";
        AppendJsonQuantity(out, m.omega);
        out += ", \"hertz\": ";
        AppendJsonQuantity(out, m.hertz);
        out += ", \"period\": ";
        AppendJsonQuantity(out, m.period);
        const ModalFactors f = ModalFactorsOf(m.participation, m.effectiveMass, shapes.divisor[k]);
        out += ", \"participation\": ";
        AppendJsonQuantity(out, f.participation);
        out += ", \"generalised_mass\": ";
        AppendJsonQuantity(out, std::isnan(m.effectiveMass) ? m.effectiveMass : f.generalisedMass);
        out += ", \"gamma\": ";
        AppendJsonQuantity(out, f.gamma);
        out += ", \"effective_mass\": ";
        AppendJsonQuantity(out, m.effectiveMass);
        out += '}';
    }
    out += ']';
}

// What modal asked, after "modes": null where there are no modes.
void AppendJsonModalExtras(std::string& out, const BatchRun& run)
{
    const ModalOptions& asked = run.modal;
    if (asked.normalisation) {
        out += ", \"normalisation\": ";
        AppendJsonString(out, NormalisationWord(*asked.normalisation));
    }
    if (!asked.directions.empty())
        AppendJsonByDirection(out, asked.directions, run.modes ? &run.byDirection : nullptr, run.shapes.divisor);
    if (asked.rayleigh) {
        out += ", \"rayleigh\": ";
        if (!run.damping) {
            out += "null";
        } else {
            const RayleighRequest& q = *asked.rayleigh;
            out += "{\"modes\": [" + std::to_string(q.i) + ", " + std::to_string(q.j) + "], \"zeta\": [";
            AppendJsonNumber(out, q.zetaI);
            out += ", ";
            AppendJsonNumber(out, q.zetaJ);
            out += "], \"a0\": ";
            AppendJsonNumber(out, run.damping->a0);
            out += ", \"a1\": ";
            AppendJsonNumber(out, run.damping->a1);
            out += ", \"mode_zeta\": ";
            AppendJsonColumn(out, run.damping->zeta);
            out += '}';
        }
    }
}

// The comma-separated words of text; a word may be empty.
std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        words.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) return words;
        start = comma + 1;
    }
}

// A whole decimal number, as a cell reads it; empty where word is not one.
std::optional<double> WholeNumber(std::string_view word)
{
    if (word.empty() || IsCSpace(word.front()) || NumberPrefixLength(word) != word.size()) return std::nullopt;
    return ParseCellText(word);
}

// A whole positive int.
std::optional<int> WholeCount(std::string_view word)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || value < 1) return std::nullopt;
    return value;
}

}  // namespace

std::string ParseDirectionsOption(std::string_view text, std::vector<Direction>& directions)
{
    const std::string why = ParseDirections(text, directions);
    return why.empty() ? why : "--directions: " + why;
}

std::string ParseRayleighOption(std::string_view text, RayleighRequest& request)
{
    const std::vector<std::string_view> words = Words(text);
    const std::string usage = "--rayleigh needs I,J or I,J,ZETA_I,ZETA_J (two modes and their damping ratios), not \"" +
                              EscapedName(text) + "\"";
    if (words.size() != 2 && words.size() != 4) return usage;
    const std::optional<int> i = WholeCount(words[0]);
    const std::optional<int> j = WholeCount(words[1]);
    if (!i || !j) return usage;
    request = {.i = *i, .j = *j};
    if (words.size() == 4) {
        const std::optional<double> zi = WholeNumber(words[2]);
        const std::optional<double> zj = WholeNumber(words[3]);
        if (!zi || !zj) return usage;
        request.zetaI = *zi;
        request.zetaJ = *zj;
    }
    return {};
}

std::string ParseNormaliseOption(std::string_view text, Normalisation& how)
{
    if (text == "mass") {
        how = {NormalisationKind::Mass, 1};
    } else if (text == "max") {
        how = {NormalisationKind::Largest, 1};
    } else if (const std::optional<int> dof = text.starts_with("dof=") ? WholeCount(text.substr(4)) : std::nullopt) {
        how = {NormalisationKind::Dof, *dof};
    } else {
        return "--normalise needs mass, max or dof=N, not \"" + EscapedName(text) + "\"";
    }
    return {};
}

std::string NormalisationWord(const Normalisation& how)
{
    switch (how.kind) {
    case NormalisationKind::Mass: return "mass";
    case NormalisationKind::Largest: return "max";
    case NormalisationKind::Dof: break;
    }
    return "dof=" + std::to_string(how.dof);
}

BatchParse ReadProblemLines(const ProblemLines& lines, std::string_view text, bool strict)
{
    BatchParse result;
    if (lines.Large()) {
        auto pencil = std::make_shared<SymmetricPencil>();
        result.reason = lines.Whole(text, pencil->K, pencil->M, result.errorLine);
        if (!result.ok()) return result;
        result.problem.n = static_cast<int>(lines.count[0]);
        result.problem.directions = lines.directions;
        result.problem.large = std::move(pencil);
        return result;
    }
    std::array<UpperTexts, 2> texts{};
    result.reason = lines.Check(text, texts, result.errorLine);
    if (!result.ok()) return result;
    result.problem.n = static_cast<int>(lines.count[0]);
    result.problem.directions = lines.directions;
    if (FillMatrix(lines.rows[0], texts[0], 'K', result.problem.n, result.problem.K, strict, result))
        FillMatrix(lines.rows[1], texts[1], 'M', result.problem.n, result.problem.M, strict, result);
    if (!result.ok()) result.warnings.clear();  // a problem not run has nothing to warn of
    return result;
}

BatchParse ParseRowsArguments(std::string_view kRows, std::string_view mRows, bool strict)
{
    ProblemLines lines;
    std::string text;
    lines.section = 1;
    for (std::size_t m = 0; m < 2; ++m)
        for (const std::string_view row : SplitRows(m == 0 ? kRows : mRows, false)) {
            const std::size_t index = lines.count[m]++;
            if (index >= ProblemLines::Kept) continue;
            lines.rows[m][index] = {text.size(), row.size(), 0};
            text.append(row);
        }
    return ReadProblemLines(lines, text, strict);
}

std::string BatchParse::Message() const
{
    return errorLine == 0 ? reason : "line " + std::to_string(errorLine) + ": " + reason;
}

BatchParse ParseProblemFile(std::string_view text, std::int64_t firstLine, bool strict)
{
    if (text.starts_with(ByteOrderMark)) text.remove_prefix(ByteOrderMark.size());
    // The batch command's file: any size it takes, as its stream reads it.
    ProblemLines lines;
    lines.cap = MaxDynamicOrder;
    std::string rows;
    std::int64_t number = firstLine - 1;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        lines.Add(ClassifyLine(line), line, ++number, rows);
    }
    return ReadProblemLines(lines, rows, strict);
}

BatchRun RunBatch(const BatchProblem& problem, ProgramState& state, BatchExtras extras, const ModalOptions& modal)
{
    BatchRun run;
    run.n = problem.n;
    run.extras = extras;
    run.modal = modal;
    if (problem.large) {
        if (modal.rayleigh || modal.normalisation) {
            run.modalError = "--rayleigh and --normalise take models of at most " + std::to_string(MaxOrder) +
                             " degrees of freedom";
            return run;
        }
        if (!modal.directions.empty() && modal.directions.size() != static_cast<std::size_t>(problem.n)) {
            run.modalError = "--directions gives " + std::to_string(modal.directions.size()) +
                             " labels for n = " + std::to_string(problem.n);
            return run;
        }
        try {
            run.large = std::make_shared<const DynamicRun>(
                RunDynamic(*problem.large, extras.modes, modal.first, modal.directions));
        } catch (const std::bad_alloc&) {
            run.modalError = "not enough memory for a model of n = " + std::to_string(problem.n);
        }
        return run;
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(problem.n); ++i)
        for (std::size_t j = i; j < static_cast<std::size_t>(problem.n); ++j) {
            state.store.K[i + 1][j + 1] = problem.K[i][j];
            state.store.M[i + 1][j + 1] = problem.M[i][j];
        }
    MemoryGrid grid;
    grid.onCellChange = [&](int cell) { CellChanged(state.store, state.text, grid, cell); };
    grid.SetListSelection(id::DimensionList, problem.n - 2);
    grid.SetListSelection(id::ActionList, 0);
    CalculationDetail detail;
    detail.wantModes = extras.modes;
    const bool wanted = extras.eigenvalues || extras.modes;
    run.mended = Calculate(state, grid, run.channel, wanted ? &detail : nullptr) == Outcome::Mended;
    // Values beside a refusal or a message would claim what the run did not show.
    if (run.channel.reports.empty()) return run;
    if (extras.eigenvalues) run.eigenvalues = std::move(detail.eigenvalues);
    if (!extras.modes) return run;
    run.modes = std::move(detail.modes);
    const ModalOptions& asked = modal;
    if (!run.modes) {
        if (asked.any()) run.modalError = "no modes for --directions, --rayleigh or --normalise: neither M, -M, K nor -K is safely definite";
        return run;
    }
    run.shapes = NormaliseShapes(*run.modes, asked.normalisation.value_or(Normalisation{}));
    if (!run.shapes.ok()) {
        run.modalError = "--normalise " + NormalisationWord(*asked.normalisation) + ": " + run.shapes.error;
        return run;
    }
    if (!asked.directions.empty()) {
        if (asked.directions.size() != static_cast<std::size_t>(problem.n)) {
            run.modalError = "--directions gives " + std::to_string(asked.directions.size()) +
                             " labels for n = " + std::to_string(problem.n);
            return run;
        }
        run.byDirection = ParticipationByDirection(*run.modes, state.store.M, asked.directions);
    }
    if (asked.rayleigh) {
        RayleighDamping damping = RayleighFrom(*run.modes, *asked.rayleigh);
        if (!damping.ok()) {
            run.modalError = "--rayleigh: " + damping.error;
            return run;
        }
        run.damping = std::move(damping);
    }
    return run;
}

void AppendPlainOutput(std::string& out, const BatchRun& run)
{
    if (run.large) {
        out += DynamicPlainOutput(*run.large);
        return;
    }
    for (const auto& message : run.channel.messages) (out += message) += "\n\n";
    if (run.extras.modes && !run.channel.reports.empty()) AppendModesTable(out, run);
}

std::string PlainOutput(const BatchRun& run)
{
    std::string out;
    AppendPlainOutput(out, run);
    return out;
}

void AppendJsonOutput(std::string& out, const BatchRun& run, std::int64_t line, std::span<const std::string> warnings)
{
    if (run.large) {
        out += DynamicJsonOutput(*run.large, line);
        return;
    }
    out += '{';
    if (line > 0) (out += "\"line\": ") += std::to_string(line) += ", ";
    (out += "\"n\": ") += std::to_string(run.n) += ", \"messages\": [";
    for (std::size_t k = 0; k < run.channel.messages.size(); ++k) {
        if (k > 0) out += ", ";
        AppendJsonString(out, run.channel.messages[k]);
    }
    out += "], \"reports\": [";
    for (std::size_t k = 0; k < run.channel.reports.size(); ++k) {
        if (k > 0) out += ", ";
        out += '[';
        const auto& values = run.channel.reports[k].values;
        for (std::size_t v = 0; v < values.size(); ++v) {
            if (v > 0) out += ", ";
            out += '[';
            AppendJsonNumber(out, values[v].re);
            out += ", ";
            AppendJsonNumber(out, values[v].im);
            out += ']';
        }
        out += ']';
    }
    out += "], \"eigenvalues\": ";
    if (run.eigenvalues.empty()) {
        out += "null";
    } else {
        out += '[';
        for (std::size_t k = 0; k < run.eigenvalues.size(); ++k) {
            out += k > 0 ? ", [" : "[";
            AppendJsonNumber(out, run.eigenvalues[k].re);
            out += ", ";
            AppendJsonNumber(out, run.eigenvalues[k].im);
            out += ']';
        }
        out += ']';
    }
    if (run.extras.modes) {
        out += ", \"modes\": ";
        if (run.modes)
            AppendJsonModes(out, *run.modes, run.shapes);
        else
            out += "null";
        // A buckling pencil's one number of interest, singled out.
        if (run.modes && !run.modes->massDefinite) {
            out += ", \"critical_load_factor\": ";
            const CriticalLoad critical = CriticalLoadOf(*run.modes);
            if (critical.mode != 0)
                AppendJsonNumber(out, critical.lambda);
            else
                out += "null";
        }
        AppendJsonModalExtras(out, run);
    }
    out += ", \"mended\": ";
    out += run.mended ? "true" : "false";
    if (!warnings.empty()) {
        out += ", \"warnings\": [";
        for (std::size_t k = 0; k < warnings.size(); ++k) {
            if (k > 0) out += ", ";
            AppendJsonString(out, warnings[k]);
        }
        out += ']';
    }
    out += "}\n";
}

std::string JsonOutput(const BatchRun& run, std::int64_t line, std::span<const std::string> warnings)
{
    std::string out;
    AppendJsonOutput(out, run, line, warnings);
    return out;
}

void AppendJsonError(std::string& out, std::int64_t line, std::string_view reason)
{
    (out += "{\"line\": ") += std::to_string(line) += ", \"error\": ";
    AppendJsonString(out, reason);
    out += "}\n";
}

}  // namespace varno
