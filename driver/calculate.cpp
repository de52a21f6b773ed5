#include "driver/calculate.h"

#include <array>
#include <cmath>
#include <optional>
#include <span>
#include <string>

#include "certified/general_pencil.h"
#include "certified/modes.h"
#include "certified/proof.h"
#include "core/matrix_store.h"
#include "core/order.h"
#include "driver/general_check.h"
#include "driver/report_check.h"
#include "solvers/quartic_report.h"
#include "solvers/quartic_root_solver.h"
#include "solvers/report_text.h"
#include "solvers/three_by_three.h"
#include "solvers/two_by_two.h"

namespace varno {
namespace {

bool AllZero(const Matrix10& x)
{
    for (int i = 1; i <= 6; ++i)
        for (int j = i; j <= 6; ++j)
            if (x[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] != 0.0) return false;
    return true;
}

void Refuse(ProgramState& state, GridView& grid, ReportChannel& channel, Which which)
{
    const bool k = which == Which::K;
    channel.ShowMessage(k ? PleaseEnterK : PleaseEnterM);
    SelectActionRow(grid, k ? 0 : 1);
    state.store.ActionIndex = k ? 0 : 1;
    ArrangeGrid(state.store, grid);
    ShowMatrix(state.store, state.text, grid, which);
    state.store.ErrorFlag = 9;
}

// Replaces everything the solver would have shown by one report in its real
// form. The registers keep what the solver left; the text buffer holds the
// report, as it holds every report shown. From n = 4 on, the 4 x 4 report's
// form.
void ShowMendedReport(ProgramState& state, ReportChannel& channel, int n, const std::array<double, MaxOrder>& lambda)
{
    std::array<Eigenvalue, MaxOrder> values{};
    for (std::size_t k = 0; k < MaxOrder; ++k) values[k] = {lambda[k], 0.0};
    ShowEigenvalueReport(channel, n >= 4 ? state.text.QuarticReportText : state.text.ReportText,
                         std::span<const Eigenvalue>(values.data(), static_cast<std::size_t>(n)),
                         n >= 4 ? QuarticForm : LowOrderRealForm);
}

// The first infinite or NaN entry of the upper triangles for n, K before M.
bool RefuseNotFinite(const MatrixStore& store, ReportChannel& channel)
{
    for (const Which which : {Which::K, Which::M}) {
        const Matrix10& x = which == Which::K ? store.K : store.M;
        for (int i = 1; i <= store.Dimension; ++i)
            for (int j = i; j <= store.Dimension; ++j)
                if (!std::isfinite(x[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)])) {
                    channel.ShowMessage(NotFiniteMessage(which, i, j));
                    return true;
                }
    }
    return false;
}

// One report of the eigenvalues of a pencil that is not definite, in order
// (certified/general_pencil.h's ShownEigenvalues): the real form of the
// report for n when every one of them is real, else its complex form.
void ShowGeneralReport(ProgramState& state, ReportChannel& channel, const GeneralEigenvalues& qz)
{
    const int n = qz.n;
    const std::array<Eigenvalue, MaxOrder> l = ShownEigenvalues(qz);
    bool real = true;
    for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) real = real && l[k].im == 0.0;
    const ReportForm form = n >= 4 ? (real ? QuarticForm : QuarticComplexForm) : (real ? LowOrderRealForm : LowOrderComplexForm);
    ShowEigenvalueReport(channel, n >= 4 ? state.text.QuarticReportText : state.text.ReportText,
                         std::span<const Eigenvalue>(l.data(), static_cast<std::size_t>(n)), form);
}

// A pencil that is not safely definite: keep what the solver showed where it
// is right by the rule of driver/general_check.h, else replace it. A refusal
// is never right: a pencil with an eigenvalue at infinity (M singular) still
// has its finite ones, shown beside "inf".
// QZ's values as FullPrecisionEigenvalues gives them.
void DetailOf(const GeneralEigenvalues& qz, CalculationDetail* detail)
{
    if (detail == nullptr || !qz.converged || qz.singular) return;
    const std::array<Eigenvalue, MaxOrder> shown = ShownEigenvalues(qz);
    detail->eigenvalues.assign(shown.begin(), shown.begin() + qz.n);
}

// The certified values, and the modes where asked: found once, from the
// proofs the check found where it found any.
std::array<double, MaxOrder> Certified(const PencilClass& pencil, const MatrixStore& store,
                                       const ProvedEigenvalues* proved, CalculationDetail* detail)
{
    std::array<double, MaxOrder> lambda{};
    const int n = store.Dimension;
    if (detail != nullptr && detail->wantModes) {
        detail->modes = ModesOf(pencil.pencil, store.K, store.M, proved);
        for (int k = 0; k < n; ++k) lambda[static_cast<std::size_t>(k)] = detail->modes->modes[static_cast<std::size_t>(k)].lambda;
    } else {
        lambda = CertifiedLambda(pencil.pencil, store.K, store.M, proved);
    }
    if (detail != nullptr)
        for (int k = 0; k < n; ++k) detail->eigenvalues.push_back({lambda[static_cast<std::size_t>(k)], 0.0});
    return lambda;
}

Outcome CheckGeneralPencil(ProgramState& state, const HoldingChannel& held, ReportChannel& channel,
                           CalculationDetail* detail)
{
    const int n = state.store.Dimension;
    const GeneralEigenvalues qz = GeneralPencilEigenvalues(state.store.K, state.store.M, n);
    DetailOf(qz, detail);
    if (!qz.converged) {  // nothing to judge by
        held.ReleaseTo(channel, state.text);
        return Outcome::ClosedForm;
    }
    if (qz.singular) {
        channel.ShowMessage(SingularPencilMessage);
        return Outcome::Mended;
    }
    if (HeldOutputMatches(held, qz)) {
        held.ReleaseTo(channel, state.text);
        return Outcome::ClosedForm;
    }
    ShowGeneralReport(state, channel, qz);
    return Outcome::Mended;
}

// Beyond the quartic no closed form comes first: the eigenvalues the modes
// give where one of M, -M, K, -K is safely definite, QZ's otherwise, in the
// form a mend of the 4 x 4 report takes.
Outcome SolveWithoutClosedForm(ProgramState& state, ReportChannel& channel, CalculationDetail* detail)
{
    const MatrixStore& store = state.store;
    const int n = store.Dimension;
    const PencilClass pencil = ClassifyPencil(store.K, store.M, n);
    if (pencil.definiteness == Definiteness::Safe) {
        ShowMendedReport(state, channel, n, Certified(pencil, store, nullptr, detail));
        return Outcome::Numeric;
    }
    const GeneralEigenvalues qz = GeneralPencilEigenvalues(store.K, store.M, n);
    DetailOf(qz, detail);
    if (!qz.converged)
        channel.ShowMessage(NotConvergedMessage);
    else if (qz.singular)
        channel.ShowMessage(SingularPencilMessage);
    else
        ShowGeneralReport(state, channel, qz);
    return Outcome::Numeric;
}

}  // namespace

std::string NotFiniteMessage(Which which, int i, int j)
{
    return std::string(which == Which::K ? " K(" : " M(") + std::to_string(i) + "," + std::to_string(j) +
           ") is not a finite number.";
}

void ValidateInput(ProgramState& state, GridView& grid, ReportChannel& channel)
{
    // Both blocks always run, so an empty K and an empty M give two messages.
    if (AllZero(state.store.K)) Refuse(state, grid, channel, Which::K);
    if (AllZero(state.store.M)) Refuse(state, grid, channel, Which::M);
}

Outcome Calculate(ProgramState& state, GridView& grid, ReportChannel& channel, CalculationDetail* detail)
{
    MatrixStore& store = state.store;
    store.ErrorFlag = 0;
    ReadSelections(store, grid);
    Symmetrise(store);
    ValidateInput(state, grid, channel);
    const int n = store.Dimension;
    if (store.ErrorFlag != 0 || n < 2 || n > MaxOrder) return Outcome::Refused;  // n = 1: nothing to compute
    if (RefuseNotFinite(store, channel)) return Outcome::Refused;
    if (n > 4) return SolveWithoutClosedForm(state, channel, detail);

    HoldingChannel held;
    switch (n) {
    case 2: SolveTwoByTwo(state, held); break;
    case 3: SolveThreeByThree(state, held); break;
    default: SolveFourByFour(state, held); break;
    }
    const PencilClass pencil = ClassifyPencil(store.K, store.M, n);
    if (pencil.definiteness != Definiteness::Safe) return CheckGeneralPencil(state, held, channel, detail);
    ProvedOnDemand proved(pencil.pencil);
    if (HeldOutputRight(held, pencil.pencil, proved)) {
        held.ReleaseTo(channel, state.text);
        if (detail != nullptr) Certified(pencil, store, proved.IfFound(), detail);
        return Outcome::ClosedForm;
    }
    ShowMendedReport(state, channel, n, Certified(pencil, store, proved.IfFound(), detail));
    return Outcome::Mended;
}

std::vector<Eigenvalue> FullPrecisionEigenvalues(const MatrixStore& store)
{
    const int n = store.Dimension;
    std::vector<Eigenvalue> values;
    if (n < 2 || n > MaxOrder) return values;
    for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j)
            if (!std::isfinite(store.K[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]) ||
                !std::isfinite(store.M[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]))
                return values;
    const PencilClass pencil = ClassifyPencil(store.K, store.M, n);
    if (pencil.definiteness == Definiteness::Safe) {
        const std::array<double, MaxOrder> lambda = CertifiedLambda(pencil.pencil, store.K, store.M);
        for (int k = 0; k < n; ++k) values.push_back({lambda[static_cast<std::size_t>(k)], 0.0});
        return values;
    }
    const GeneralEigenvalues qz = GeneralPencilEigenvalues(store.K, store.M, n);
    if (!qz.converged || qz.singular) return values;
    const std::array<Eigenvalue, MaxOrder> shown = ShownEigenvalues(qz);
    values.assign(shown.begin(), shown.begin() + n);
    return values;
}

}  // namespace varno
