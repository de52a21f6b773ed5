#include "certified/dynamic/kernel_threads.h"

// OpenBLAS's own setting, where the library linked is OpenBLAS.
extern "C" void openblas_set_num_threads(int threads) __attribute__((weak));

namespace varno {

void LimitKernelThreads(int threads)
{
    if (openblas_set_num_threads != nullptr) openblas_set_num_threads(threads);
}

}  // namespace varno
