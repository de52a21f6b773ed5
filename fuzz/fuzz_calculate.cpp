// The Calculate command on arbitrary doubles (NaN, infinities, subnormals,
// huge values): no crash, no undefined behaviour, every message one of the
// program's own texts or a report in one of its formats, and never a wrong
// eigenvalue, on a positive definite M or on a pencil that is not definite.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "core/calculate.h"
#include "core/matrix_store.h"
#include "core/memory_grid.h"
#include "core/number_text.h"
#include "solvers/cubic_root_finder.h"
#include "solvers/inertia.h"
#include "solvers/quartic_polynomial.h"
#include "solvers/two_by_two.h"
#include "tests/general_reference.h"
#include "tests/reference_problems.h"

extern "C" void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
                       double* work, const int* lwork, int* info, std::size_t jobzLength, std::size_t uploLength);

namespace {

bool Known(const std::string& m)
{
    // A field: blanks, digits, letters (inf, nan, e), '.', '+' and '-'; '-'
    // last, so that it is no range (" -." would take in "(", ")" and ",").
    static const std::string f12 = R"([ .0-9a-z+-]{12,})";
    static const std::string f11 = R"([ .0-9a-z+-]{11,})";
    static const std::regex two("Eigenvalues \n\n lambda1=" + f12 + " \n lambda2=" + f12);
    static const std::regex twoComplex("Eigenvalues \n\n lambda1=" + f12 + "\t\\+j\\(" + f12 + "\\)\n lambda2=" + f12 +
                                       " \t\\+j\\(" + f12 + "\\)");
    static const std::regex three("Eigenvalues \n\n lambda1=" + f12 + " \n lambda2=" + f12 + " \n lambda3=" + f12);
    static const std::regex threeComplex("Eigenvalues \n\n lambda1=" + f12 + "\t\\+j \\(" + f12 + "\\)\n lambda2=" +
                                         f12 + " \t\\+j \\(" + f12 + "\\)\n lambda3=" + f12 + " \t\\+j \\(" + f12 +
                                         "\\)");
    static const std::regex four("\n\n  Eigenvalues \n\n lambda1 = " + f11 + " \n lambda2 = " + f11 +
                                 " \n lambda3 = " + f11 + " \n lambda4 = " + f11 + " ");
    static const std::string j11 = " \\+j \\(" + f11 + "\\)";
    static const std::regex fourComplex("\n\n  Eigenvalues \n\n lambda1 = " + f11 + j11 + " \n lambda2 = " + f11 + j11 +
                                        " \n lambda3 = " + f11 + j11 + " \n lambda4 = " + f11 + j11 + " ");
    static const std::regex notFinite(R"( [KM]\([1-4],[1-4]\) is not a finite number\.)");
    return m == varno::PleaseEnterK || m == varno::PleaseEnterM || m == varno::SingularMMessage ||
           m == varno::ComplexDivisionMessage || m == varno::QuarticLeadingMessage ||
           m == varno::SingularPencilMessage || std::regex_match(m, notFinite) || std::regex_match(m, fourComplex) ||
           std::regex_match(m, two) ||
           std::regex_match(m, twoComplex) || std::regex_match(m, three) || std::regex_match(m, threeComplex) ||
           std::regex_match(m, four);
}

// On a positive definite M every value shown must be an eigenvalue, by the
// program's rule. The reference is LAPACK's dsygv on the pencil scaled by
// powers of two (exact), and only where M is well enough conditioned for
// dsygv's own error, about eps * kappa(M) of the largest, to be known.
bool DefiniteShownRight(const varno::ProgramState& state, const varno::RecordingChannel& channel)
{
    const int n = state.store.Dimension;
    if (state.store.ErrorFlag != 0 || n < 2 || n > 4) return true;
    varno::test::Problem p{n, {}, {}};
    double kBig = 0.0, mBig = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const auto a = static_cast<std::size_t>(std::min(i, j) + 1), b = static_cast<std::size_t>(std::max(i, j) + 1);
            p.k[i][j] = state.store.K[a][b];
            p.m[i][j] = state.store.M[a][b];
            if (!std::isfinite(p.k[i][j]) || !std::isfinite(p.m[i][j])) return true;
            kBig = std::max(kBig, std::fabs(p.k[i][j]));
            mBig = std::max(mBig, std::fabs(p.m[i][j]));
        }
    if (mBig == 0.0) return true;
    const int ek = kBig > 0.0 ? std::ilogb(kBig) : 0, em = std::ilogb(mBig);
    // LAPACK loses accuracy on subnormal entries; below 1e-150 of the largest
    // an entry cannot move any eigenvalue by a digit shown, so it goes.
    const auto scaled = [](double x, int e) {
        x = std::ldexp(x, -e);
        return std::fabs(x) < 1e-150 ? 0.0 : x;
    };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) p.k[i][j] = scaled(p.k[i][j], ek), p.m[i][j] = scaled(p.m[i][j], em);

    double a[16], w[4], work[64];
    const int lwork = 64;
    int info = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a[i * n + j] = p.m[i][j];
    dsyev_("N", "U", &n, a, &n, w, work, &lwork, &info, 1, 1);
    if (info != 0 || !(w[0] > 1e-6 * w[n - 1])) return true;  // indefinite, or kappa(M) above 1e6
    std::vector<double> truth = varno::test::LapackEigenvalues(p);
    if (truth.size() != static_cast<std::size_t>(n)) return true;
    double largest = 0.0;
    for (double& x : truth) largest = std::max(largest, std::fabs(x = std::ldexp(x, ek - em)));
    if (!(largest < 1e300) || (largest > 0.0 && largest < 1e-300)) return true;  // beyond what prints sensibly

    const double slack = 1e-12 * largest + 64 * 2.2e-16 * (w[n - 1] / w[0]) * largest;
    if (channel.reports.empty()) return false;  // refused
    for (const auto& report : channel.reports) {
        if (report.text.find("+j") != std::string::npos) return false;
        std::vector<double> x;
        for (const auto& v : report.values) x.push_back(v.re);
        std::sort(x.begin(), x.end());
        for (std::size_t k = 0; k < x.size(); ++k) {
            const varno::Interval printed = varno::PrintedInterval(x[k], n == 4 ? 5 : 4);
            const bool right = std::fabs(x[k] - truth[k]) <= slack ||
                               (truth[k] >= printed.lo - slack && truth[k] <= printed.hi + slack);
            if (!right) return false;
        }
    }
    return true;
}

// On a pencil that is not definite, every report must match the true
// eigenvalues one to one as it shows them, each within 1e-6 of max|lambda|.
// The reference: the roots of det(K - lambda M) in __float128, trusted only
// where det M does not cancel (M far from singular) and no root moves by more
// than 1e4 times a relative change of the entries.
bool GeneralShownRight(const varno::ProgramState& state, const varno::RecordingChannel& channel)
{
    const int n = state.store.Dimension;
    if (state.store.ErrorFlag != 0 || n < 2 || n > 4) return true;
    double k[4][4] = {}, m[4][4] = {};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const auto a = static_cast<std::size_t>(std::min(i, j) + 1), b = static_cast<std::size_t>(std::max(i, j) + 1);
            k[i][j] = state.store.K[a][b];
            m[i][j] = state.store.M[a][b];
            if (!std::isfinite(k[i][j]) || !std::isfinite(m[i][j])) return true;
        }
    if (varno::ClassifyPencil(state.store.K, state.store.M, n).definiteness != varno::Definiteness::None) return true;
    const varno::test::GeneralReference reference = varno::test::ReferenceRoots(n, k, m);
    using varno::test::Quad;
    if (reference.lambda.empty() || !(reference.leading >= Quad(1e-6)) || !(reference.conditioning <= Quad(1e4)) ||
        !(reference.largest < Quad(1e300)) || !(reference.largest > Quad(1e-300)))
        return true;
    if (channel.reports.empty()) return false;  // refused, or called singular
    for (const auto& report : channel.reports)
        if (!varno::test::ShownRightForRoots(report.values, report.form.complex, reference)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    varno::ProgramState state;
    varno::MemoryGrid grid;
    grid.onCellChange = [&](int cell) { varno::CellChanged(state.store, state.text, grid, cell); };
    varno::RecordingChannel channel;
    // First byte: dimension row (-1 ... 2) and action row; then doubles.
    grid.SetListSelection(varno::id::DimensionList, static_cast<int>(data[0] % 4) - 1);
    grid.SetListSelection(varno::id::ActionList, static_cast<int>((data[0] >> 2) % 3) - 1);
    std::size_t offset = 1;
    for (int i = 1; i <= 4; ++i)
        for (int j = i; j <= 4; ++j)
            for (varno::Matrix10* x : {&state.store.K, &state.store.M}) {
                double v = 0.0;
                if (offset + sizeof v <= size) std::memcpy(&v, data + offset, sizeof v);
                offset += sizeof v;
                (*x)[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = v;
            }
    varno::Calculate(state, grid, channel);
    if (channel.messages.size() > 12) std::abort();
    for (const std::string& m : channel.messages)
        if (!Known(m)) std::abort();
    if (!DefiniteShownRight(state, channel)) std::abort();
    if (!GeneralShownRight(state, channel)) std::abort();
    return 0;
}
