#include "certified/dynamic/directions.h"

#include <cmath>
#include <limits>

namespace varno {

std::vector<DirectionParticipation> DynamicParticipation(const DynamicModalResult& result, const DenseMatrix& M,
                                                         std::span<const Direction> labels)
{
    std::vector<DirectionParticipation> out;
    const int n = result.n;
    const std::size_t un = static_cast<std::size_t>(n);
    if (!result.massDefinite || labels.size() != un || result.vectors.n != n) return out;
    const int modes = static_cast<int>(result.lambda.size());
    const double sign = result.negativeMass ? -1.0 : 1.0;
    for (std::size_t d = 1; d <= static_cast<std::size_t>(Direction::RZ); ++d) {
        const auto direction = static_cast<Direction>(d);
        bool used = false;
        for (const Direction label : labels) used = used || label == direction;
        if (!used) continue;
        DirectionParticipation p;
        p.direction = direction;
        // (+-M) r_d: the total mass and every Gamma_d come from it.
        std::vector<double> mr(un, 0.0);
        for (int j = 0; j < n; ++j)
            if (labels[static_cast<std::size_t>(j)] == direction) {
                const double* column = M.Column(j);
                for (std::size_t i = 0; i < un; ++i) mr[i] += sign * column[i];
            }
        for (std::size_t i = 0; i < un; ++i)
            if (labels[i] == direction) p.totalMass += mr[i];
        for (int k = 0; k < modes; ++k) {
            const double* x = result.vectors.Column(k);
            double gamma = 0.0;
            for (std::size_t i = 0; i < un; ++i) gamma += x[i] * mr[i];
            AppendMode(p, k + 1, gamma, std::isinf(result.lambda[static_cast<std::size_t>(k)]));
        }
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace varno
