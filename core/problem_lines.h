// The lines of the problem file as they are read, one problem at a time:
// the one reader of the format, shared by the batch command and by the
// desktop program's Open, so that both take exactly the same files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <vector>

#include "core/dense_matrix.h"
#include "core/direction.h"
#include "core/matrix_rows.h"
#include "core/order.h"

namespace varno {

// What a line of a FILE is: the one test for it, wherever lines are read. A
// final CR is ignored; "K" and "M" may have blanks and tabs around them.
enum class LineKind { Blank, Comment, K, M, Row };
LineKind ClassifyLine(std::string_view line);

// Whether a line that begins with prefix may still turn out blank, a
// comment, "K" or "M": anything else is a row, and an input whose first
// line is a row is no file of problems.
bool MayStartProblems(std::string_view prefix);

// A problem whose rows hold more text than this is malformed: what is read
// into memory stays bounded whatever the input.
inline constexpr std::size_t MaxProblemBytes = std::size_t{1} << 20;
// The same for a problem of more than MaxOrder rows (a reader that takes
// them): a model of MaxDynamicOrder, every entry written in full, fits.
inline constexpr std::size_t MaxDynamicProblemBytes = std::size_t{1} << 29;

// "1 row", "3 rows".
std::string RowCount(std::size_t rows);

// A problem's directions ride in a comment, so that a file with them still
// reads where they are not known: "# directions: x,y,rz", anywhere after its
// line "K", one label a degree of freedom.
inline constexpr std::string_view DirectionsPrefix = "# directions:";
inline bool IsDirectionsLine(std::string_view line) { return line.starts_with(DirectionsPrefix); }
// Whether a line that begins with prefix may still turn out a directions
// line: a comment that may not is passed over unread.
inline bool MayBeDirectionsLine(std::string_view prefix)
{
    return prefix.size() < DirectionsPrefix.size() ? DirectionsPrefix.starts_with(prefix) : IsDirectionsLine(prefix);
}

// The lines of one problem as they are read, before any entry is converted:
// all that needs keeping of it, and all that converting it needs. The rows'
// texts live in a separate buffer, at the offsets recorded here.
struct ProblemLines {
    struct Row {
        std::size_t offset = 0;
        std::size_t size = 0;
        std::int64_t line = 0;
    };
    static constexpr auto Kept = static_cast<std::size_t>(MaxOrder);
    // The largest n taken: MaxOrder for the grid; a reader that runs larger
    // problems on the dynamic-size path sets MaxDynamicOrder.
    int cap = MaxOrder;
    std::int64_t kLine = 0;  // its line "K"; 0 before it
    std::int64_t mLine = 0;  // its line "M"; 0 before it
    int section = -1;        // -1 before "K", 0 in K's rows, 1 in M's
    bool any = false;        // a line "K", "M" or a row was seen
    std::array<std::size_t, 2> count{};          // rows of K and of M
    std::array<std::array<Row, Kept>, 2> rows{};  // the first MaxOrder of each, kept
    std::array<std::vector<Row>, 2> more;          // those after them, up to cap
    std::size_t bytes = 0;                        // of the rows kept
    std::string reason;                           // the first fault in line order
    std::int64_t errorLine = 0;
    std::vector<Direction> directions;            // from its directions line; empty without one
    std::int64_t directionsLine = 0;

    // Takes the next line (without its '\n') of kind, numbered number, and
    // keeps what it needs of it at the end of text.
    void Add(LineKind kind, std::string_view line, std::int64_t number, std::string& text);
    // A row of more than MaxProblemBytes, seen but not kept.
    void AddOversizeRow(std::int64_t number);
    // M has as many rows as K, and K has 2 ... cap: nothing later can belong to it.
    bool Complete() const
    {
        return section == 1 && count[0] >= 2 && count[0] <= static_cast<std::size_t>(cap) && count[1] == count[0];
    }
    // A problem of more rows than the grid holds, which Whole reads.
    bool Large() const { return count[0] > Kept && count[0] <= static_cast<std::size_t>(cap); }
    // Row r (0-based) of matrix m, as kept.
    const Row& RowAt(std::size_t m, std::size_t r) const { return r < Kept ? rows[m][r] : more[m][r - Kept]; }
    // Moves every row's offset on by by: the text was put after another.
    void ShiftOffsets(std::size_t by);
    // The entry texts of K (texts[0]) and M (texts[1]), n = count[0]; or the
    // first fault, with its line in line (0 where no line is to blame).
    // text as given to Add.
    std::string Check(std::string_view text, std::array<UpperTexts, 2>& texts, std::int64_t& line) const;
    // The same for a Large problem: K and M whole and symmetric (k, m), each
    // row n entries or the n - i + 1 from the diagonal on, every entry a
    // number read whole.
    std::string Whole(std::string_view text, DenseMatrix& k, DenseMatrix& m, std::int64_t& line) const;
    // Whether no line still to come could make the problem whole: a reader
    // that answers each problem as soon as it can answers it now.
    bool CertainlyMalformed(std::string_view text) const;

private:
    void Fault(std::string why, std::int64_t number);
};

}  // namespace varno
