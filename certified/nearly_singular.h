// Reading the eigenvalues of a regular pencil within rounding of a singular
// one, where QZ in one order of the degrees of freedom can lose the
// determined ones.
#pragma once

#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <Eigen/SVD>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "certified/general_pencil.h"
#include "core/framework.h"

namespace varno::pencil {

// Fractional parts of square roots: a direction with no pattern a pencil
// typed in could share.
constexpr std::array<double, MaxOrder> NoPattern{0.4142135623730951, 0.7320508075688772, 0.2360679774997897,
                                                 0.6457513110645906, 0.3166247903553998, 0.6055512754639891};

// QZ on the pair in each order of its degrees of freedom (from(i, attempt)
// gives row i's source), and on H A H, H B H; the reading whose finite
// values most of the others share, each within 1e-9 of its scale.
template <int N, typename From, typename Read>
void Consensus(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B, const From& from,
               const Read& read, std::array<Eigenvalue, MaxOrder>& values, std::size_t& finite, int& infinite)
{
    using Mat = Eigen::Matrix<double, N, N>;
    struct Reading {
        std::array<Eigenvalue, MaxOrder> values{};
        std::size_t finite = 0;
        int infinite = 0;
    };
    std::array<Reading, N + 2> readings{};
    std::size_t count = 0;
    Eigen::Matrix<double, N, 1> v;
    for (int k = 0; k < N; ++k) v(k) = NoPattern[static_cast<std::size_t>(k)];
    const Mat H = Mat::Identity() - (2.0 / v.squaredNorm()) * v * v.transpose();
    for (int attempt = 0; attempt <= N + 1; ++attempt) {
        Mat pa, pb;
        if (attempt <= N) {
            for (int r = 0; r < N; ++r)
                for (int c = 0; c < N; ++c) {
                    pa(r, c) = A(attempt == 0 ? r : from(r, attempt), attempt == 0 ? c : from(c, attempt));
                    pb(r, c) = B(attempt == 0 ? r : from(r, attempt), attempt == 0 ? c : from(c, attempt));
                }
        } else {
            pa = H * A * H;
            pb = H * B * H;
        }
        Eigen::RealQZ<Mat> qz(N);
        qz.setMaxIterations(24);
        qz.compute(pa, pb, false);
        if (qz.info() != Eigen::Success) continue;
        read(qz);
        readings[count++] = {values, finite, infinite};
    }
    const double unit = A.norm() / B.norm();
    std::size_t best = 0;
    int bestSupport = -1;
    for (std::size_t c = 0; c < count; ++c) {
        int support = 0;
        for (std::size_t k = 0; k < readings[c].finite; ++k) {
            const Eigenvalue& x = readings[c].values[k];
            std::size_t agree = 0;
            for (std::size_t o = 0; o < count; ++o) {
                if (o == c) continue;
                for (std::size_t j = 0; j < readings[o].finite; ++j)
                    if (std::hypot(x.re - readings[o].values[j].re, x.im - readings[o].values[j].im) <=
                        1e-9 * (unit + std::hypot(x.re, x.im))) {
                        ++agree;
                        break;
                    }
            }
            support += 2 * agree >= count - 1 ? 1 : 0;
        }
        if (support > bestSupport) bestSupport = support, best = c;
    }
    if (count == 0) return;
    values = readings[best].values;
    finite = readings[best].finite;
    infinite = readings[best].infinite;
}

// The 2 x 2 block of S and T at i: a complex pair, or two infinite values
// where T's diagonal is at rounding level (a conjugate pair has one
// modulus). T's block is diagonal (ta, tb), and the pair is that of S's
// block times diag(1 / ta, 1 / tb), as Eigen's GeneralizedEigenSolver forms
// it: beta = ta tb, alpha from S2 = S diag(tb, ta), no division until the
// end.
template <typename Matrix>
void ReadPair(const Matrix& S, const Matrix& T, int i, double roundingB, std::array<Eigenvalue, MaxOrder>& values,
              std::size_t& finite, int& infinite)
{
    const double ta = T(i, i), tb = T(i + 1, i + 1);
    if (std::min(std::fabs(ta), std::fabs(tb)) <= roundingB) {
        infinite += 2;
        return;
    }
    const double beta = ta * tb;
    const double s00 = S(i, i) * tb, s01 = S(i, i + 1) * ta;
    const double s10 = S(i + 1, i) * tb, s11 = S(i + 1, i + 1) * ta;
    const double p = 0.5 * (s00 - s11);
    const double z = std::sqrt(std::fabs(p * p + s10 * s01));
    const double re = (s11 + p) / beta, im = std::fabs(z / beta);
    values[finite++] = {re, -im};
    values[finite++] = {re, im};
}

// QZ may also call finite values infinite where K and M share a
// direction at rounding level, in every order (one gave 1.01 and inf
// three times for -3, 1.01, 2.78 and one value at will): wherever it
// reads more infinite values than B has directions at rounding level,
// the pencil on the other directions holds the determined ones, A and B
// being within rounding of the congruence that splits those off. The
// shared directions' values are at will, and read as infinite.
template <int N>
void DeflateSharedDirections(const Eigen::Matrix<double, N, N>& A, const Eigen::Matrix<double, N, N>& B, double roundingB,
                             std::array<Eigenvalue, MaxOrder>& values, std::size_t& finite, int& infinite)
{
    using Mat = Eigen::Matrix<double, N, N>;
    const Eigen::JacobiSVD<Mat> sb(B);
    int nullity = 0;
    for (int k = 0; k < N; ++k) nullity += sb.singularValues()(k) <= roundingB ? 1 : 0;
    if (infinite <= nullity) return;
    Eigen::Matrix<double, 2 * N, N> stacked;
    stacked << A, B;
    const Eigen::JacobiSVD<Eigen::Matrix<double, 2 * N, N>> svd(stacked, Eigen::ComputeFullV);
    int kept = N;  // singular values come in decreasing order
    while (kept > 0 && svd.singularValues()(kept - 1) <= RoundingNoise * N * (A.norm() + B.norm())) --kept;
    if (kept == N || kept == 0) return;
    const Eigen::MatrixXd V = svd.matrixV().leftCols(kept);
    Eigen::RealQZ<Eigen::MatrixXd> part(kept);
    part.setMaxIterations(24);
    part.compute(V.transpose() * A * V, V.transpose() * B * V, false);
    if (part.info() != Eigen::Success) return;
    finite = 0;
    infinite = N - kept;
    const Eigen::MatrixXd& S = part.matrixS();
    const Eigen::MatrixXd& T = part.matrixT();
    for (int i = 0; i < kept;) {
        if (i == kept - 1 || S(i + 1, i) == 0.0) {
            if (std::fabs(T(i, i)) <= roundingB)
                ++infinite;
            else
                values[finite++] = {S(i, i) / T(i, i), 0.0};
            ++i;
            continue;
        }
        ReadPair(S, T, i, roundingB, values, finite, infinite);
        i += 2;
    }
}

}  // namespace varno::pencil
