#include "certified/modal_directions.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>

namespace varno {
namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

}  // namespace

std::vector<DirectionParticipation> ParticipationByDirection(const ModalResult& result, const Matrix10& M,
                                                             std::span<const Direction> labels)
{
    std::vector<DirectionParticipation> out;
    const int n = result.n;
    if (!result.massDefinite || labels.size() != At(n)) return out;
    const double sign = result.negativeMass ? -1.0 : 1.0;
    for (std::size_t d = 1; d <= static_cast<std::size_t>(Direction::RZ); ++d) {
        const auto direction = static_cast<Direction>(d);
        bool used = false;
        for (const Direction label : labels) used = used || label == direction;
        if (!used) continue;
        DirectionParticipation p;
        p.direction = direction;
        // (+-M) r_d, row by row: the total mass and every Gamma_d come from it.
        std::vector<double> mr(At(n), 0.0);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (labels[At(j)] == direction) mr[At(i)] += sign * M[At(i + 1)][At(j + 1)];
        for (int i = 0; i < n; ++i)
            if (labels[At(i)] == direction) p.totalMass += mr[At(i)];
        for (int k = 0; k < n; ++k) {
            const Mode& mode = result.modes[At(k)];
            // Only modes with mass: ModesOf leaves their own effective mass undefined otherwise.
            double gamma = 0.0;
            for (int i = 0; i < n; ++i) gamma += mode.vector[At(i)] * mr[At(i)];
            AppendMode(p, k + 1, gamma, std::isnan(mode.effectiveMass));
        }
        out.push_back(std::move(p));
    }
    return out;
}

void AppendMode(DirectionParticipation& p, int mode, double gamma, bool withoutMass)
{
    if (withoutMass) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (auto* column : {&p.participation, &p.effectiveMass, &p.share, &p.cumulative}) column->push_back(nan);
        return;
    }
    const double mass = gamma * gamma;
    p.sum += mass;
    const double share = 100.0 * mass / p.totalMass;
    // The last defined cumulative share, or 0 before any.
    double cumulative = 0.0;
    for (auto c = p.cumulative.rbegin(); c != p.cumulative.rend(); ++c)
        if (!std::isnan(*c)) {
            cumulative = *c;
            break;
        }
    cumulative += share;
    p.participation.push_back(gamma);
    p.effectiveMass.push_back(mass);
    p.share.push_back(share);
    p.cumulative.push_back(cumulative);
    if (p.reaches90 == 0 && cumulative >= 90.0) p.reaches90 = mode;
}

std::string ShareText(double percent)
{
    // Room for the largest double in fixed notation: 309 digits, a sign, a point and two decimals.
    std::array<char, 320> buffer;
    const auto written =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), percent, std::chars_format::fixed, 2);
    return std::string(buffer.data(), written.ptr);
}

}  // namespace varno
