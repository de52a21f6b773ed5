// A fresh program on an in-memory grid, driven the way a user drives the
// dialog: select list rows, type cell texts, press Calculate.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

#include "core/form.h"
#include "core/matrix_store.h"
#include "core/memory_grid.h"
#include "core/program_state.h"
#include "driver/calculate.h"

namespace varno::test {

struct Harness {
    ProgramState state;
    MemoryGrid grid;
    RecordingChannel channel;

    Harness()
    {
        grid.onCellChange = [this](int cell) { CellChanged(state.store, state.text, grid, cell); };
        InitialiseForm(grid);
    }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    void SelectDimension(int n)
    {
        grid.SetListSelection(id::DimensionList, n - 2);
        DimensionChanged(state, grid);
    }
    void SelectAction(int row)
    {
        grid.SetListSelection(id::ActionList, row);
        ActionChanged(state, grid);
    }
    void Type(int i, int j, const std::string& text) { grid.SetCellText(CellAt(i, j), text); }
    void Calculate() { varno::Calculate(state, grid, channel); }

    double& K(int i, int j) { return state.store.K[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; }
    double& M(int i, int j) { return state.store.M[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; }

    // Fills the upper triangle of an n x n problem into the store and selects
    // dimension n, as if typed.
    template <std::size_t N>
    void LoadUpper(int n, const double (&k)[N][N], const double (&m)[N][N])
    {
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j) {
                K(i + 1, j + 1) = k[i][j];
                M(i + 1, j + 1) = m[i][j];
            }
        grid.SetListSelection(id::DimensionList, n - 2);
    }

    // Fills the upper triangle of a symmetric problem directly in the store.
    template <int N>
    void Load(const double (&k)[N][N], const double (&m)[N][N])
    {
        for (int i = 0; i < N; ++i)
            for (int j = i; j < N; ++j) {
                K(i + 1, j + 1) = k[i][j];
                M(i + 1, j + 1) = m[i][j];
            }
        grid.SetListSelection(id::DimensionList, N - 2);
        grid.SetListSelection(id::ActionList, 0);
    }
};

inline std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

}  // namespace varno::test
