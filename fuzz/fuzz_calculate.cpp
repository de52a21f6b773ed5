// The Calculate command on arbitrary doubles (NaN, infinities, subnormals,
// huge values): no crash, no undefined behaviour, and every message one of
// the program's own texts or a report in one of its formats.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "core/calculate.h"
#include "core/matrix_store.h"
#include "core/memory_grid.h"
#include "solvers/cubic_root_finder.h"
#include "solvers/quartic_polynomial.h"
#include "solvers/two_by_two.h"

namespace {

bool Known(const std::string& m)
{
    static const std::string f12 = R"([ -.0-9a-z+]{12,})";
    static const std::string f11 = R"([ -.0-9a-z+]{11,})";
    static const std::regex two("Eigenvalues \n\n lambda1=" + f12 + " \n lambda2=" + f12);
    static const std::regex twoComplex("Eigenvalues \n\n lambda1=" + f12 + "\t\\+j\\(" + f12 + "\\)\n lambda2=" + f12 +
                                       " \t\\+j\\(" + f12 + "\\)");
    static const std::regex three("Eigenvalues \n\n lambda1=" + f12 + " \n lambda2=" + f12 + " \n lambda3=" + f12);
    static const std::regex threeComplex("Eigenvalues \n\n lambda1=" + f12 + "\t\\+j \\(" + f12 + "\\)\n lambda2=" +
                                         f12 + " \t\\+j \\(" + f12 + "\\)\n lambda3=" + f12 + " \t\\+j \\(" + f12 +
                                         "\\)");
    static const std::regex four("\n\n  Eigenvalues \n\n lambda1 = " + f11 + " \n lambda2 = " + f11 +
                                 " \n lambda3 = " + f11 + " \n lambda4 = " + f11 + " ");
    return m == varno::PleaseEnterK || m == varno::PleaseEnterM || m == varno::SingularMMessage ||
           m == varno::ComplexDivisionMessage || m == varno::QuarticLeadingMessage || std::regex_match(m, two) ||
           std::regex_match(m, twoComplex) || std::regex_match(m, three) || std::regex_match(m, threeComplex) ||
           std::regex_match(m, four);
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
    return 0;
}
