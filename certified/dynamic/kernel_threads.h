// How many threads the BLAS behind the dynamic-size path may start per call.
// Where the batch command's workers already run problems side by side, the
// kernels' own threads only fight them for the cores (and for n = 10 cost
// more in waking than the work they share): one each then. An optimised
// BLAS that offers no such setting, or the reference one, is left alone.
#pragma once

namespace varno {

void LimitKernelThreads(int threads);

}  // namespace varno
