#include "ui/modes_text.h"

#include <charconv>
#include <cmath>

#include "core/number_text.h"

namespace varno::ui {
namespace {

constexpr int Digits = 6;       // frequencies, periods, masses
constexpr int ShareDigits = 4;  // per cent of the total mass

std::string Defined(double value, int digits)
{
    return std::isnan(value) ? std::string(NotDefinedText) : FormatG(value, 0, digits);
}

}  // namespace

ModesView ModesAfterCalculation(const MatrixStore& store, Outcome outcome)
{
    const std::string none = "The last calculation has no modes: ";
    if (outcome == Outcome::Refused) return {std::nullopt, none + "nothing was computed."};
    std::optional<ModalResult> modes = ModesOf(store.K, store.M, store.Dimension);
    if (!modes)
        return {std::nullopt, none + "neither M, \u2212M, K nor \u2212K is definite beyond rounding, so its "
                                     "eigenvectors need not be real."};
    std::string note;
    if (!modes->massDefinite) {
        note = "M is not definite, so there are no frequencies or masses. Shapes scaled to a largest component of 1.";
    } else {
        note = modes->negativeMass ? "\u2212M is definite: shapes normalised so that x\u1d40(\u2212M)x = 1."
                                   : "Shapes normalised so that x\u1d40Mx = 1.";
        bool massless = false;
        for (int k = 0; k < modes->n; ++k) massless = massless || std::isinf(modes->modes[static_cast<std::size_t>(k)].lambda);
        if (massless) note += " A mode without mass (\u03bb = \u221e) to a largest component of 1.";
        note += " Total mass " + FormatG(modes->totalMass, 0, Digits) +
                " kg, every degree of freedom moving together.";
    }
    return {modes, note};
}

std::vector<std::string> ModesHeader()
{
    return {"Mode",   "\u03bb",  "\u00b1 bound",         "\u03c9 (rad/s)",
            "f (Hz)", "T (s)", "Effective mass (kg)", "Share of total (%)"};
}

std::vector<std::vector<std::string>> ModesRows(const ModalResult& result)
{
    std::vector<std::vector<std::string>> rows;
    for (int k = 0; k < result.n; ++k) {
        const Mode& m = result.modes[static_cast<std::size_t>(k)];
        const double share = 100.0 * m.effectiveMass / result.totalMass;
        // lambda in full: the text reads back as the very value the bound is about.
        rows.push_back({std::to_string(k + 1), FormatShortest(m.lambda), BoundText(m.bound),
                        Defined(m.omega, Digits), Defined(m.hertz, Digits), Defined(m.period, Digits),
                        Defined(m.effectiveMass, Digits), Defined(share, ShareDigits)});
    }
    return rows;
}

std::string ModesTsv(const ModalResult& result)
{
    std::string text;
    const auto line = [&text](const std::vector<std::string>& cells) {
        for (std::size_t c = 0; c < cells.size(); ++c) text += (c == 0 ? "" : "\t") + cells[c];
        text += '\n';
    };
    line(ModesHeader());
    for (const auto& row : ModesRows(result)) line(row);
    return text;
}

std::string ModeLegend(const ModalResult& result, int k)
{
    const Mode& m = result.modes[static_cast<std::size_t>(k - 1)];
    const std::string mode = "Mode " + std::to_string(k) + ": ";
    if (!std::isnan(m.hertz)) return mode + "f = " + FormatG(m.hertz, 0, Digits) + " Hz";
    return mode + "\u03bb = " + FormatG(m.lambda, 0, Digits);
}

std::string BoundText(double bound)
{
    if (!std::isfinite(bound) || bound == 0.0) return FormatShortest(bound);
    // Two digits d.d and an exponent; one more in the last digit where
    // rounding to nearest went below the bound.
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, bound, std::chars_format::scientific, 1);
    const std::string text(buffer, written.ptr);
    double shown = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), shown);
    if (shown >= bound) return text;
    int digits = (text[0] - '0') * 10 + (text[2] - '0') + 1;
    int exponent = 0;
    const std::size_t e = text.find('e');
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
    if (digits == 100) {
        digits = 10;
        ++exponent;
    }
    std::string up{static_cast<char>('0' + digits / 10), '.', static_cast<char>('0' + digits % 10), 'e',
                   exponent < 0 ? '-' : '+'};
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) up += '0';
    up += std::to_string(magnitude);
    return up;
}

}  // namespace varno::ui
