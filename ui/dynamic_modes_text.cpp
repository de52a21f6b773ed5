#include "ui/dynamic_modes_text.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "certified/dynamic/directions.h"
#include "core/message_text.h"
#include "core/number_text.h"

namespace varno::ui {
namespace {

constexpr int Shown = 6;

std::string Number(double v, const std::string& undefined, Digits digits)
{
    if (std::isnan(v)) return undefined;
    return digits == Digits::Full ? FormatShortest(v) : FormatG(v, 0, Shown);
}

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole number written whole ("7", not "7x" or "7.5"); 0 where it is none.
int WholeNumber(std::string_view text)
{
    text = Trimmed(text);
    if (text.empty() || NumberPrefixLength(text) != text.size()) return 0;
    const double value = ParseCellText(text);
    if (!(value >= 1.0 && value <= 1e9) || std::floor(value) != value) return 0;
    return static_cast<int>(value);
}

}  // namespace

DynamicModesView DynamicModesViewOf(DynamicModalResult result, const DenseMatrix& M, std::vector<Direction> directions)
{
    DynamicModesView view{std::move(result), std::move(directions), {}};
    view.directions.resize(static_cast<std::size_t>(view.result.n), Direction::X);
    view.byDirection = DynamicParticipation(view.result, M, view.directions);
    return view;
}

ModelCalculation CalculateModel(const SymmetricPencil& pencil, std::vector<Direction> directions)
{
    ModelCalculation out;
    out.calculation = CalculateDynamic(pencil, true);
    if (out.calculation.modes) {
        out.modes = DynamicModesViewOf(std::move(*out.calculation.modes), pencil.M, std::move(directions));
        out.calculation.modes.reset();
    }
    return out;
}

std::vector<std::string> DynamicModesHeader(const DynamicModesView& view)
{
    const bool mass = view.result.massDefinite;
    std::vector<std::string> header = {"Mode",        mass ? "\u03bb (1/s\u00b2)" : "\u03bb", "\u00b1 bound",
                                       "\u03c9 (rad/s)", "f (Hz)",                          "T (s)"};
    for (const DirectionParticipation& d : view.byDirection) {
        const std::string label(DirectionLabel(d.direction));
        header.push_back("Mass " + label + " (" + MassUnit(d.direction) + ")");
        header.push_back("Share " + label + " (%)");
        header.push_back("Cumulative " + label + " (%)");
    }
    return header;
}

int DynamicColumnCount(const DynamicModesView& view)
{
    return DynamicFirstDirectionColumn + DynamicDirectionColumns * static_cast<int>(view.byDirection.size());
}

std::string DynamicModesCell(const DynamicModesView& view, int k, int column, const std::string& undefined, Digits digits)
{
    const DynamicModalResult& r = view.result;
    const auto mode = static_cast<std::size_t>(k);
    switch (column) {
    case 0: return std::to_string(k + 1);
    // lambda in full: the text reads back as the very value the bound is about.
    case 1: return FormatShortest(r.lambda[mode]);
    case 2: return BoundText(r.bound[mode]);
    case 3: return Number(r.omega[mode], undefined, digits);
    case 4: return Number(r.hertz[mode], undefined, digits);
    case 5: return Number(r.period[mode], undefined, digits);
    default: break;
    }
    const auto d = static_cast<std::size_t>((column - DynamicFirstDirectionColumn) / DynamicDirectionColumns);
    const DirectionParticipation& p = view.byDirection[d];
    const auto share = [&](double v) {
        return std::isnan(v) ? undefined : digits == Digits::Full ? FormatShortest(v) : ShareText(v);
    };
    switch ((column - DynamicFirstDirectionColumn) % DynamicDirectionColumns) {
    case 0: return Number(p.effectiveMass[mode], undefined, digits);
    case 1: return share(p.share[mode]);
    default: return share(p.cumulative[mode]);
    }
}

std::string DynamicModesNote(const DynamicModesView& view)
{
    const DynamicModalResult& r = view.result;
    if (!r.massDefinite) {
        std::string note = "M is not definite, so there are no frequencies or masses.";
        for (int k = 0; k < r.n; ++k)
            if (const double lambda = r.lambda[static_cast<std::size_t>(k)]; lambda > 0.0 && std::isfinite(lambda)) {
                note += " Critical load factor \u03bb" + std::to_string(k + 1) + " = " + FormatG(lambda, 0, Shown) +
                        ", the smallest positive \u03bb.";
                break;
            }
        return note;
    }
    std::string note = r.negativeMass ? "\u2212M is the mass matrix. " : "";
    const bool together =
        std::all_of(view.directions.begin(), view.directions.end(), [](Direction d) { return d == Direction::X; });
    if (together) {
        note += "Total mass " + FormatG(r.totalMass, 0, Shown) + " kg, every degree of freedom moving together.";
    } else {
        for (std::size_t d = 0; d < view.byDirection.size(); ++d)
            note += (d == 0 ? "Total mass in " : "; ") + std::string(DirectionLabel(view.byDirection[d].direction)) +
                    ": " + FormatG(view.byDirection[d].totalMass, 0, Shown) + " " + MassUnit(view.byDirection[d].direction);
        if (!view.byDirection.empty()) note += ".";
    }
    for (const DirectionParticipation& d : view.byDirection) {
        const std::string label(DirectionLabel(d.direction));
        note += d.reaches90 > 0 ? " 90 % of " + label + " is reached at mode " + std::to_string(d.reaches90) + "."
                                : " The modes do not reach 90 % of " + label + ".";
    }
    return note;
}

std::string DynamicModesTsv(const DynamicModesView& view)
{
    std::string text;
    const std::vector<std::string> header = DynamicModesHeader(view);
    for (std::size_t c = 0; c < header.size(); ++c) text += (c == 0 ? "" : "\t") + header[c];
    text += '\n';
    const int columns = DynamicColumnCount(view);
    for (int k = 0; k < view.result.n; ++k) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0) text += '\t';
            text += DynamicModesCell(view, k, c, "", Digits::Full);
        }
        text += '\n';
    }
    return text;
}

std::vector<double> PlottedShape(const DynamicModalResult& result, int k)
{
    std::vector<double> shape(static_cast<std::size_t>(result.n));
    double largest = 0.0;
    for (int i = 0; i < result.n; ++i) {
        const double x = result.vectors(i, k);
        if (std::fabs(x) > std::fabs(largest)) largest = x;
    }
    for (int i = 0; i < result.n; ++i) shape[static_cast<std::size_t>(i)] = result.vectors(i, k) / largest;
    return shape;
}

std::string DynamicModeLegend(const DynamicModalResult& result, int k)
{
    const auto mode = static_cast<std::size_t>(k);
    const std::string name = "Mode " + std::to_string(k + 1) + ": ";
    if (!std::isnan(result.hertz[mode]))
        return name + "f = " + FormatG(result.hertz[mode], 0, Shown) + " Hz";
    return name + "\u03bb = " + FormatG(result.lambda[mode], 0, Shown);
}

int DofTickInterval(int n)
{
    for (int power = 1;; power *= 10)
        for (const int step : {1, 2, 5})
            if (n <= 10 * step * power) return step * power;
}

std::vector<int> ModeListOf(std::string_view text, int n, std::string& error)
{
    error.clear();
    std::set<int> modes;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = Trimmed(text.substr(start, comma - start));
        start = comma + 1;
        if (item.empty()) continue;
        const std::size_t dash = item.find('-');
        const int first = WholeNumber(item.substr(0, dash));
        const int last = dash == std::string_view::npos ? first : WholeNumber(item.substr(dash + 1));
        if (first == 0 || last == 0 || last < first) {
            error = Quoted(item) + " is no mode or range of modes, such as 7 or 1-6";
            return {};
        }
        if (last > n) {
            error = "there " + std::string(n == 1 ? "is 1 mode" : "are " + std::to_string(n) + " modes");
            return {};
        }
        for (int k = first; k <= last; ++k) modes.insert(k);
        if (modes.size() > static_cast<std::size_t>(MostPlotted)) {
            error = "at most " + std::to_string(MostPlotted) + " modes are plotted at once";
            return {};
        }
    }
    if (modes.empty()) error = "no modes are named";
    return {modes.begin(), modes.end()};
}

}  // namespace varno::ui
