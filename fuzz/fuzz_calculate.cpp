// The Calculate command on arbitrary doubles (NaN, infinities, subnormals,
// huge values): no crash, no undefined behaviour, every message one of the
// program's own texts or a report in one of its formats, and never a wrong
// eigenvalue: on a definite pencil (M, -M, K or -K definite, at any
// condition) never a refusal either, and on a pencil that is not definite
// every report as right as the issue's rule for them asks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <regex>
#include <string>
#include <vector>

#include "certified/proof.h"
#include "core/matrix_store.h"
#include "core/memory_grid.h"
#include "core/number_text.h"
#include "driver/calculate.h"
#include "solvers/cubic_root_finder.h"
#include "solvers/quartic_polynomial.h"
#include "solvers/two_by_two.h"
#include "tests/count_reference.h"
#include "tests/general_reference.h"

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

// Where M, -M, K or -K is clearly definite (its smallest eigenvalue above
// 64 eps of its largest entry, well beyond the program's own threshold, so
// that the program must count too), every value shown must be right by the
// rule against an independent long double reference; a refusal is wrong.
// No limit on conditioning: the reference counts on the pencil itself.
bool DefiniteShownRight(const varno::ProgramState& state, const varno::RecordingChannel& channel)
{
    const int n = state.store.Dimension;
    if (state.store.ErrorFlag != 0 || n < 2 || n > 4) return true;
    varno::test::Problem p{n, {}, {}};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const auto a = static_cast<std::size_t>(std::min(i, j) + 1), b = static_cast<std::size_t>(std::max(i, j) + 1);
            p.k[i][j] = state.store.K[a][b];
            p.m[i][j] = state.store.M[a][b];
            if (!std::isfinite(p.k[i][j]) || !std::isfinite(p.m[i][j])) return true;
        }
    const long double margin = 64.0L * static_cast<long double>(std::numeric_limits<double>::epsilon());
    for (const auto& [mDefinite, sign] : {std::pair{true, 1.0}, {true, -1.0}, {false, 1.0}, {false, -1.0}}) {
        if (!varno::test::ReferenceDefiniteWithMargin(mDefinite ? p.m : p.k, n, sign, margin)) continue;
        const auto reference = varno::test::ReferencePencil(p, mDefinite, sign);
        for (const auto& r : reference)
            if (!r.trusted) return true;  // eigenvalues closer than the reference can tell apart
        if (channel.reports.empty()) return false;  // refused
        for (const std::string& m : channel.messages)
            if (m == varno::SingularMMessage || m == varno::QuarticLeadingMessage) return false;
        for (const auto& report : channel.reports) {
            std::vector<double> x;
            for (const auto& v : report.values) x.push_back(v.re);
            if (report.form.complex ||
                !varno::test::ShownRightForReference(x, reference, !mDefinite, report.form.precision))
                return false;
        }
        return true;
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
    // The reference is exact for the entries as given; the program works to
    // the matrices' norms. Where entries far below rounding of the largest
    // decide the roots (dropping them leaves no polynomial of degree n, or
    // other roots), the pencil is singular to within rounding, and the two
    // need not agree.
    double kn[4][4] = {}, mn[4][4] = {}, kBig = 0.0, mBig = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) kBig = std::max(kBig, std::fabs(k[i][j])), mBig = std::max(mBig, std::fabs(m[i][j]));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            kn[i][j] = std::fabs(k[i][j]) < 1e-20 * kBig ? 0.0 : k[i][j];
            mn[i][j] = std::fabs(m[i][j]) < 1e-20 * mBig ? 0.0 : m[i][j];
        }
    const varno::test::GeneralReference normwise = varno::test::ReferenceRoots(n, kn, mn);
    if (normwise.lambda.size() != reference.lambda.size()) return true;
    for (const auto& root : reference.lambda) {
        bool found = false;
        for (const auto& other : normwise.lambda)
            found = found || varno::test::Modulus(root - other) <= Quad(1e-9) * reference.largest;
        if (!found) return true;
    }
    // Nor where M is nearly singular for its norm: an eigenvalue beyond 1e8
    // |K| / |M| is known to QZ only to some 1e-8 of itself, and the program
    // may call it infinite.
    if (reference.largest > Quad(1e8) * Quad(kBig / mBig)) return true;
    // Nor a root that a change of the entries by rounding of their matrix's
    // norm moves by more than 1e6 rounding units of the largest: QZ is exact
    // only for such a nearby pencil, and 1e-6 is the rule's tolerance.
    if (reference.normwise > Quad(1e6)) return true;
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
