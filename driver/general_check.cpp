#include "driver/general_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace varno {

bool ShownValuesMatch(std::span<const Eigenvalue> shown, bool complexForm, const GeneralEigenvalues& reference)
{
    const std::size_t n = static_cast<std::size_t>(reference.n);
    // An eigenvalue beyond the double range in the pencil's units is
    // replaced by "inf" however close the closed form came.
    if (reference.infinite > 0 || shown.size() != n || !std::isfinite(reference.largest)) return false;
    const double tolerance = ShownTolerance * reference.largest;
    // Which shown value may stand for which eigenvalue; then whether some
    // one-to-one assignment uses only those (n <= 4: 24 orders at most).
    std::array<std::array<bool, 4>, 4> close{};
    for (std::size_t i = 0; i < n; ++i) {
        const double im = complexForm ? shown[i].im : 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            const double dre = std::fabs(shown[i].re - reference.lambda[k].re);
            const double dim = std::fabs(im - reference.lambda[k].im);
            // Far apart in either part needs no square root.
            close[i][k] = dre <= tolerance && dim <= tolerance && std::hypot(dre, dim) <= tolerance;
        }
    }
    std::array<std::size_t, 4> order{0, 1, 2, 3};
    do {
        bool all = true;
        for (std::size_t i = 0; i < n && all; ++i) all = close[i][order[i]];
        if (all) return true;
    } while (std::next_permutation(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n)));
    return false;
}

bool HeldOutputMatches(const HoldingChannel& held, const GeneralEigenvalues& reference)
{
    int reports = 0;
    for (const auto part : {held.Inline(), held.Overflow()})
        for (const HeldMessage& m : part) {
            switch (m.kind) {
            case HeldMessage::Kind::Refusal: return false;
            case HeldMessage::Kind::Message: continue;
            case HeldMessage::Kind::Report:
                if (!ShownValuesMatch(m.Values(), m.form.complex, reference)) return false;
                ++reports;
            }
        }
    return reports > 0;
}

bool HeldRefusal(const HoldingChannel& held)
{
    for (const auto part : {held.Inline(), held.Overflow()})
        for (const HeldMessage& m : part)
            if (m.kind == HeldMessage::Kind::Refusal) return true;
    return false;
}

}  // namespace varno
