#include "driver/calculate_dynamic.h"

#include <cmath>

#include "driver/calculate.h"
#include "solvers/quartic_report.h"
#include "solvers/report_text.h"

namespace varno {

DynamicCalculation CalculateDynamic(const SymmetricPencil& pencil, bool withVectors, int first)
{
    DynamicCalculation out;
    const int n = pencil.n();
    out.n = n;
    for (const Which which : {Which::K, Which::M}) {
        const DenseMatrix& x = which == Which::K ? pencil.K : pencil.M;
        bool zero = true;
        for (int i = 0; i < n && zero; ++i)
            for (int j = i; j < n && zero; ++j) zero = x(i, j) == 0.0;
        if (zero) {
            out.message = which == Which::K ? PleaseEnterK : PleaseEnterM;
            return out;
        }
    }
    for (const Which which : {Which::K, Which::M}) {
        const DenseMatrix& x = which == Which::K ? pencil.K : pencil.M;
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j)
                if (!std::isfinite(x(i, j))) {
                    out.message = NotFiniteMessage(which, i + 1, j + 1);
                    return out;
                }
    }
    out.modes = DynamicModesOf(pencil, withVectors, first);
    if (out.modes) {
        for (const double lambda : out.modes->lambda) out.eigenvalues.push_back({lambda, 0.0});
        out.form = QuarticForm;
    } else {
        const DynamicGeneral qz = DynamicGeneralEigenvalues(pencil);
        if (!qz.converged) {
            out.message = NotConvergedMessage;
            return out;
        }
        if (qz.singular) {
            out.message = SingularPencilMessage;
            return out;
        }
        out.eigenvalues = qz.values;
        bool real = true;
        for (const Eigenvalue& v : qz.values) real = real && v.im == 0.0;
        out.form = real ? QuarticForm : QuarticComplexForm;
    }
    out.message = ReportTextFor(out.eigenvalues, out.form);
    out.report = true;
    return out;
}

}  // namespace varno
