// Square matrices of any order for the dynamic-size path, column-major as
// LAPACK takes them, and the pencil K x = lambda M x as read.
//
// The fixed-size path (n <= MaxOrder) keeps its own arrays: nothing here is
// on it.
#pragma once

#include <cstddef>
#include <vector>

namespace varno {

struct DenseMatrix {
    int n = 0;              // rows
    int columns = 0;        // n, but for a block of vectors
    std::vector<double> a;  // a[i + j n], 0-based

    DenseMatrix() = default;
    explicit DenseMatrix(int order) : DenseMatrix(order, order) {}
    DenseMatrix(int rows, int cols)
        : n(rows), columns(cols), a(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols))
    {
    }

    double& operator()(int i, int j) { return a[Index(i, j)]; }
    double operator()(int i, int j) const { return a[Index(i, j)]; }
    double* Column(int j) { return a.data() + Index(0, j); }
    const double* Column(int j) const { return a.data() + Index(0, j); }
    std::size_t Index(int i, int j) const
    {
        return static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * static_cast<std::size_t>(n);
    }
};

// Both symmetric, both n x n, every entry set (the lower triangles mirror
// the upper ones).
struct SymmetricPencil {
    DenseMatrix K;
    DenseMatrix M;
    int n() const { return K.n; }
};

// Copies the upper triangle into the lower one.
inline void MirrorUpper(DenseMatrix& a)
{
    for (int j = 0; j < a.n; ++j)
        for (int i = j + 1; i < a.n; ++i) a(i, j) = a(j, i);
}

}  // namespace varno
