#include "solvers/quartic_polynomial.h"

#include "core/lanes.h"
#include "solvers/characteristic_cubic.h"

namespace varno {

QuarticCoefficients CharacteristicQuartic(const MatrixStore& store)
{
    // Row i of the first-column expansion removes row i and column 1; the
    // minor is the 3 x 3 pencil of the other rows and columns 2, 3, 4. Lane
    // i - 1 holds minor i, so the four minors are formed in one pass.
    // Rows of the minors: lane i - 1 takes the rows other than i.
    static constexpr std::size_t Rows[3][4] = {{2, 1, 1, 1}, {3, 3, 2, 2}, {4, 4, 4, 3}};
    Lanes4 ks[3][3];
    Lanes4 ms[3][3];
    for (std::size_t row = 0; row < 3; ++row) {
        const auto& r = Rows[row];
        for (std::size_t col = 0; col < 3; ++col) {
            ks[row][col] = Lanes4{store.K[r[0]][col + 2], store.K[r[1]][col + 2], store.K[r[2]][col + 2],
                                  store.K[r[3]][col + 2]};
            ms[row][col] = Lanes4{store.M[r[0]][col + 2], store.M[r[1]][col + 2], store.M[r[2]][col + 2],
                                  store.M[r[3]][col + 2]};
        }
    }
    const CubicCoefficientsOf<Lanes4> lanes = CharacteristicCubicOf(ks, ms);
    CubicCoefficients minor[5]{};
    for (int i = 1; i <= 4; ++i)
        minor[i] = {lanes.a3[i - 1], lanes.a2[i - 1], lanes.a1[i - 1], lanes.a0[i - 1]};

    const auto Ki = [&store](int i) { return store.K[static_cast<std::size_t>(i)][1]; };
    const auto Mi = [&store](int i) { return store.M[static_cast<std::size_t>(i)][1]; };
    // Sarrus of the M minor is -m_i3, bit for bit.
    const auto S = [&minor](int i) { return -minor[i].a3; };

    QuarticCoefficients c{};
    c.c4 = ((Mi(1) * S(1) - Mi(2) * S(2)) + Mi(3) * S(3)) - Mi(4) * S(4);
    const auto expand = [](auto t) { return ((t(1) - t(2)) + t(3)) - t(4); };
    c.c3 = expand([&](int i) { return minor[i].a3 * Ki(i) - minor[i].a2 * Mi(i); });
    c.c2 = expand([&](int i) { return minor[i].a2 * Ki(i) - minor[i].a1 * Mi(i); });
    c.c1 = expand([&](int i) { return minor[i].a1 * Ki(i) - minor[i].a0 * Mi(i); });
    c.c0 = ((minor[1].a0 * Ki(1) - minor[2].a0 * Ki(2)) + minor[3].a0 * Ki(3)) - minor[4].a0 * Ki(4);
    return c;
}

void StoreQuartic(const QuarticCoefficients& c, CoefficientRegisters& coef)
{
    coef.CoefA = c.c4;
    coef.CoefB = c.c3;
    coef.CoefC = c.c2;
    coef.CoefD = c.c1;
    coef.CoefE = c.c0;
}

}  // namespace varno
