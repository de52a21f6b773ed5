#include "ui/modes_text.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/number_text.h"

namespace varno::ui {
namespace {

constexpr int Shown = 6;  // frequencies, periods, masses, on screen

// A number as digits asks.
std::string Number(double v, Digits digits) { return digits == Digits::Full ? FormatShortest(v) : FormatG(v, 0, Shown); }

}  // namespace

ModesView ModesAfterCalculation(const MatrixStore& store, Outcome outcome)
{
    const std::string none = "The last calculation has no modes: ";
    if (outcome == Outcome::Refused) return {std::nullopt, none + "nothing was computed."};
    std::optional<ModalResult> modes = ModesOf(store.K, store.M, store.Dimension);
    if (!modes)
        return {std::nullopt, none + "neither M, \u2212M, K nor \u2212K is definite beyond rounding, so its "
                                     "eigenvectors need not be real."};
    // How the shapes are scaled is said beside the choice of it, the total
    // masses with the directions (MassNote).
    std::string note;
    if (!modes->massDefinite) {
        note = "M is not definite, so there are no frequencies or masses.";
    } else {
        if (modes->negativeMass) note += "\u2212M is the mass matrix.";
        bool massless = false;
        for (int k = 0; k < modes->n; ++k) massless = massless || std::isinf(modes->modes[static_cast<std::size_t>(k)].lambda);
        if (massless) note += std::string(note.empty() ? "" : " ") + "A mode without mass (\u03bb = \u221e) has no share of it.";
    }
    return {modes, note, store.M};
}

ModalTables TablesOf(const ModesView& view, const ModalSettings& settings)
{
    ModalTables t;
    t.result = *view.result;
    const auto n = static_cast<std::size_t>(t.result.n);
    t.directions = settings.directions;
    t.directions.resize(n, Direction::X);
    t.normalisation = settings.normalisation;
    t.shapes = NormaliseShapes(t.result, t.normalisation);
    if (!t.shapes.ok()) {
        t.normalisationError = t.shapes.error;
        t.normalisation = Normalisation{};
        t.shapes = NormaliseShapes(t.result, t.normalisation);
    }
    t.byDirection = ParticipationByDirection(t.result, view.M, t.directions);
    t.rayleigh = settings.rayleigh;
    t.damping = RayleighFrom(t.result, t.rayleigh);
    return t;
}

std::string MassUnit(Direction d) { return IsRotation(d) ? "kg\u00b7m\u00b2" : "kg"; }

std::vector<std::string> ModesHeader(const ModalTables& t)
{
    // The units assume K in N/m and M in kg; without a mass matrix lambda is a load factor.
    const bool mass = t.result.massDefinite;
    std::vector<std::string> header = {"Mode",          mass ? "\u03bb (1/s\u00b2)" : "\u03bb",
                                       "\u00b1 bound",  "\u03c9 (rad/s)",
                                       "f (Hz)",        "T (s)",
                                       "M*"};
    if (t.damping.ok()) header.push_back("\u03b6 (Rayleigh)");
    // A shape by mass is in 1/sqrt(mass): L and Gamma in sqrt(mass). Any
    // other scaling leaves the shape without a unit: L in mass, Gamma none.
    const bool byMass = t.normalisation.kind == NormalisationKind::Mass;
    for (const DirectionParticipation& d : t.byDirection) {
        const std::string label(DirectionLabel(d.direction));
        const std::string unit = MassUnit(d.direction);
        const std::string root = IsRotation(d.direction) ? "\u221a(" + unit + ")" : "\u221a" + unit;
        header.push_back("L " + label + " (" + (byMass ? root : unit) + ")");
        header.push_back("\u0393 " + label + (byMass ? " (" + root + ")" : std::string()));
        header.push_back("Mass " + label + " (" + unit + ")");
        header.push_back("Share " + label + " (%)");
        header.push_back("Cumulative " + label + " (%)");
    }
    return header;
}

std::vector<std::vector<std::string>> ModesRows(const ModalTables& t, const std::string& undefined, Digits digits)
{
    const auto value = [&](double v) { return std::isnan(v) ? undefined : Number(v, digits); };
    const auto share = [&](double v) {
        return std::isnan(v) ? undefined : digits == Digits::Full ? FormatShortest(v) : ShareText(v);
    };
    std::vector<std::vector<std::string>> rows;
    for (std::size_t k = 0; k < static_cast<std::size_t>(t.result.n); ++k) {
        const Mode& m = t.result.modes[k];
        const double divisor = t.shapes.divisor[k];
        // lambda in full: the text reads back as the very value the bound is about.
        std::vector<std::string> row = {std::to_string(k + 1), FormatShortest(m.lambda), BoundText(m.bound),
                                        value(m.omega),        value(m.hertz),           value(m.period),
                                        // a mode without mass has no M* either
                                        value(std::isnan(m.effectiveMass)
                                                  ? m.effectiveMass
                                                  : ModalFactorsOf(m.participation, m.effectiveMass, divisor).generalisedMass)};
        if (t.damping.ok()) row.push_back(value(t.damping.zeta[k]));
        for (const DirectionParticipation& d : t.byDirection) {
            const ModalFactors f = ModalFactorsOf(d.participation[k], d.effectiveMass[k], divisor);
            row.push_back(value(f.participation));
            row.push_back(value(f.gamma));
            row.push_back(value(f.effectiveMass));
            row.push_back(share(d.share[k]));
            row.push_back(share(d.cumulative[k]));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

int FirstDirectionColumn(const ModalTables& t) { return 7 + (t.damping.ok() ? 1 : 0); }

int CumulativeColumn(const ModalTables& t, std::size_t d)
{
    return FirstDirectionColumn(t) + DirectionColumns * static_cast<int>(d) + DirectionColumns - 1;
}

std::string MassNote(const ModalTables& t)
{
    if (!t.result.massDefinite) {
        const CriticalLoad critical = CriticalLoadOf(t.result);
        if (critical.mode == 0) return {};
        return "Critical load factor \u03bb" + std::to_string(critical.mode) + " = " + FormatG(critical.lambda, 0, Shown) +
               ", the smallest positive \u03bb.";
    }
    bool together = true;
    for (const Direction d : t.directions) together = together && d == Direction::X;
    if (together) return "Total mass " + FormatG(t.result.totalMass, 0, Shown) + " kg, every degree of freedom moving together.";
    std::string note;
    for (const DirectionParticipation& d : t.byDirection)
        note += (note.empty() ? "Total mass in " : "; ") + std::string(DirectionLabel(d.direction)) + ": " +
                FormatG(d.totalMass, 0, Shown) + " " + MassUnit(d.direction);
    return note.empty() ? note : note + ".";
}

std::vector<std::string> ShapesHeader(const ModalTables& t)
{
    std::vector<std::string> header = {"Degree of freedom", "Direction"};
    for (int k = 1; k <= t.result.n; ++k) header.push_back("Mode " + std::to_string(k));
    return header;
}

std::vector<std::vector<std::string>> ShapesRows(const ModalTables& t, Digits digits)
{
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < t.result.n; ++i) {
        std::vector<std::string> row = {std::to_string(i + 1),
                                        std::string(DirectionLabel(t.directions[static_cast<std::size_t>(i)]))};
        for (int k = 0; k < t.result.n; ++k) row.push_back(Number(ShapeComponent(t.result, t.shapes, k, i), digits));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string NormalisationText(const ModalTables& t)
{
    switch (t.normalisation.kind) {
    case NormalisationKind::Mass:
        if (!t.result.massDefinite) return "largest component = 1 (M is not definite)";
        return t.result.negativeMass ? "x\u1d40(\u2212M)x = 1" : "x\u1d40Mx = 1";
    case NormalisationKind::Largest: return "largest component = 1";
    case NormalisationKind::Dof: break;
    }
    return "degree of freedom " + std::to_string(t.normalisation.dof) + " = 1";
}

std::vector<std::vector<std::string>> SummaryRows(const ModalTables& t, const std::string& undefined, Digits digits)
{
    std::vector<std::vector<std::string>> rows;
    for (const DirectionParticipation& d : t.byDirection) {
        const std::string label(DirectionLabel(d.direction));
        const std::string unit = " (" + MassUnit(d.direction) + ")";
        rows.push_back({"Total mass " + label + unit, Number(d.totalMass, digits)});
        rows.push_back({"Effective masses added up " + label + unit, Number(d.sum, digits)});
        rows.push_back({"90 % of " + label + " reached at mode", d.reaches90 == 0 ? undefined : std::to_string(d.reaches90)});
    }
    rows.push_back({"Normalisation", NormalisationText(t)});
    if (t.damping.ok()) {
        rows.push_back({"Rayleigh modes", std::to_string(t.rayleigh.i) + " and " + std::to_string(t.rayleigh.j)});
        rows.push_back({"Rayleigh a0 (1/s)", Number(t.damping.a0, digits)});
        rows.push_back({"Rayleigh a1 (s)", Number(t.damping.a1, digits)});
    }
    if (const CriticalLoad critical = CriticalLoadOf(t.result); critical.mode != 0) {
        rows.push_back({"Critical load factor mode", std::to_string(critical.mode)});
        rows.push_back({"Critical load factor", Number(critical.lambda, digits)});
    }
    return rows;
}

namespace {

void TsvLine(std::string& text, const std::vector<std::string>& cells)
{
    for (std::size_t c = 0; c < cells.size(); ++c) text += (c == 0 ? "" : "\t") + cells[c];
    text += '\n';
}

void CsvLine(std::string& text, const std::vector<std::string>& cells)
{
    for (std::size_t c = 0; c < cells.size(); ++c) {
        if (c > 0) text += ',';
        const std::string& cell = cells[c];
        if (cell.find_first_of(",\"\r\n") == std::string::npos) {
            text += cell;
            continue;
        }
        text += '"';
        for (const char ch : cell) (ch == '"' ? text += "\"\"" : text += ch);
        text += '"';
    }
    text += "\r\n";  // as RFC 4180 has it
}

}  // namespace

std::string ModesTsv(const ModalTables& t)
{
    std::string text;
    TsvLine(text, ModesHeader(t));
    for (const auto& row : ModesRows(t, "", Digits::Full)) TsvLine(text, row);
    TsvLine(text, {});
    TsvLine(text, ShapesHeader(t));
    for (const auto& row : ShapesRows(t, Digits::Full)) TsvLine(text, row);
    TsvLine(text, {});
    for (const auto& row : SummaryRows(t, "", Digits::Full)) TsvLine(text, row);
    return text;
}

std::string ModesCsv(const ModalTables& t, ModesTable which)
{
    std::string text;
    switch (which) {
    case ModesTable::Modes:
        CsvLine(text, ModesHeader(t));
        for (const auto& row : ModesRows(t, "", Digits::Full)) CsvLine(text, row);
        break;
    case ModesTable::Shapes:
        CsvLine(text, ShapesHeader(t));
        for (const auto& row : ShapesRows(t, Digits::Full)) CsvLine(text, row);
        break;
    case ModesTable::Summary:
        CsvLine(text, {"Quantity", "Value"});
        for (const auto& row : SummaryRows(t, "", Digits::Full)) CsvLine(text, row);
        break;
    }
    return text;
}

double RatioOfText(const std::string& text)
{
    const std::size_t used = NumberPrefixLength(text);
    if (used == 0 || text.find_first_not_of(" \t", used) != std::string::npos)
        return std::numeric_limits<double>::quiet_NaN();
    return ParseCellText(text);
}

std::string ModeLegend(const ModalResult& result, int k)
{
    const Mode& m = result.modes[static_cast<std::size_t>(k - 1)];
    const std::string mode = "Mode " + std::to_string(k) + ": ";
    if (!std::isnan(m.hertz)) return mode + "f = " + FormatG(m.hertz, 0, Shown) + " Hz";
    return mode + "\u03bb = " + FormatG(m.lambda, 0, Shown);
}

}  // namespace varno::ui
