// The LAPACK and BLAS routines the dynamic-size path calls, with gfortran's
// hidden lengths of character arguments, so that the calls are correct for
// any Fortran build of the libraries and not only where they are ignored.
#pragma once

#include <cstddef>

extern "C" {
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info, std::size_t);
void dsytrf_(const char* uplo, const int* n, double* a, const int* lda, int* ipiv, double* work, const int* lwork,
             int* info, std::size_t);
void dsygvd_(const int* itype, const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* b,
             const int* ldb, double* w, double* work, const int* lwork, int* iwork, const int* liwork, int* info,
             std::size_t, std::size_t);
void dggev_(const char* jobvl, const char* jobvr, const int* n, double* a, const int* lda, double* b, const int* ldb,
            double* alphar, double* alphai, double* beta, double* vl, const int* ldvl, double* vr, const int* ldvr,
            double* work, const int* lwork, int* info, std::size_t, std::size_t);
void dsymm_(const char* side, const char* uplo, const int* m, const int* n, const double* alpha, const double* a,
            const int* lda, const double* b, const int* ldb, const double* beta, double* c, const int* ldc, std::size_t,
            std::size_t);
}

extern "C" void dpocon_(const char* uplo, const int* n, const double* a, const int* lda, const double* anorm,
                        double* rcond, double* work, int* iwork, int* info, std::size_t);

extern "C" void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
                       const double* alpha, const double* a, const int* lda, const double* b, const int* ldb,
                       const double* beta, double* c, const int* ldc, std::size_t, std::size_t);

extern "C" void sgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
                       const float* alpha, const float* a, const int* lda, const float* b, const int* ldb,
                       const float* beta, float* c, const int* ldc, std::size_t, std::size_t);

extern "C" void dsygvx_(const int* itype, const char* jobz, const char* range, const char* uplo, const int* n, double* a,
                        const int* lda, double* b, const int* ldb, const double* vl, const double* vu, const int* il,
                        const int* iu, const double* abstol, int* m, double* w, double* z, const int* ldz, double* work,
                        const int* lwork, int* iwork, int* ifail, int* info, std::size_t, std::size_t, std::size_t);

extern "C" void dsytrs_(const char* uplo, const int* n, const int* nrhs, const double* a, const int* lda, const int* ipiv,
                        double* b, const int* ldb, int* info, std::size_t);

extern "C" void dgemv_(const char* trans, const int* m, const int* n, const double* alpha, const double* a, const int* lda,
                       const double* x, const int* incx, const double* beta, double* y, const int* incy, std::size_t);
