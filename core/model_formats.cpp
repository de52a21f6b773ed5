#include "core/model_formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "core/message_text.h"
#include "core/number_text.h"

namespace varno {
namespace {

std::vector<std::string_view> Fields(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    if (separator == ' ') {
        for (std::size_t i = 0;;) {
            i = line.find_first_not_of(" \t\r", i);
            if (i == std::string_view::npos) break;
            const std::size_t end = std::min(line.find_first_of(" \t\r", i), line.size());
            fields.push_back(line.substr(i, end - i));
            i = end;
        }
        return fields;
    }
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(line.find(separator, start), line.size());
        fields.push_back(Trim(line.substr(start, end - start)));
        if (end == line.size()) break;
        start = end + 1;
    }
    while (!fields.empty() && fields.back().empty()) fields.pop_back();  // a spreadsheet's empty cells at the end
    return fields;
}

// A field that is one number and nothing else, read as a cell reads it.
bool ReadNumber(std::string_view field, double& value)
{
    if (field.empty() || NumberPrefixLength(field) != field.size()) return false;
    value = ParseCellText(field);
    return true;
}

// Why field is no row or column number counted from 1, as every format
// here counts them; "" where it is one. A sign '+' is taken, as C's own
// readers of these formats take it.
std::string IndexFault(std::string_view field, const char* what, std::int64_t& index)
{
    std::string_view digits = field;
    if (digits.starts_with('+')) digits.remove_prefix(1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (ec == std::errc::result_out_of_range) return std::string(what) + " " + Quoted(field) + " is beyond any size";
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
        return Quoted(field) + " is not a " + what + " number";
    if (index < 1) return std::string(what) + " " + std::to_string(index) + ": rows and columns are counted from 1";
    return {};
}

bool ReadIndex(std::string_view field, std::int64_t& index) { return IndexFault(field, "row", index).empty(); }

// Row and column of an entry line, or why not.
std::string EntryIndexFault(const std::vector<std::string_view>& words, std::int64_t& i, std::int64_t& j)
{
    std::string why = IndexFault(words[0], "row", i);
    if (why.empty()) why = IndexFault(words[1], "column", j);
    return why;
}

class Reader {
public:
    Reader(std::string_view name, int cap) : name_(name), cap_(cap) {}

    bool Fail(std::int64_t line, const std::string& what)
    {
        if (dense.error.empty())
            dense.error = name_ + (line > 0 ? ": line " + std::to_string(line) + ": " : ": ") + what;
        return false;
    }

    // The model's order, or the one message saying it is more than the program takes.
    bool Size(std::int64_t order)
    {
        if (const std::string why = ModelSizeFault(order, cap_); !why.empty()) return Fail(0, why);
        Allocate(order);
        return true;
    }

    // n x n entries, for an order already weighed against the cap.
    void Allocate(std::int64_t order)
    {
        dense.n = static_cast<int>(order);
        const std::size_t cells = static_cast<std::size_t>(order) * static_cast<std::size_t>(order);
        dense.a.assign(cells, 0.0);
        dense.line.assign(cells, 0);
    }

    bool Put(std::int64_t i, std::int64_t j, double value, std::int64_t line)
    {
        auto& at = dense.Line(static_cast<std::size_t>(i - 1), static_cast<std::size_t>(j - 1));
        if (at != 0)
            return Fail(line, "entry (" + std::to_string(i) + ", " + std::to_string(j) + ") was given on line " +
                                  std::to_string(at) + " already");
        at = line;
        dense.A(static_cast<std::size_t>(i - 1), static_cast<std::size_t>(j - 1)) = value;
        return true;
    }

    // Entries given on both sides of the diagonal must agree to within
    // rounding of the matrix's largest entry: the largest disagreement is named.
    bool Symmetric()
    {
        const auto n = static_cast<std::size_t>(dense.n);
        double largest = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) largest = std::max(largest, std::fabs(dense.A(i, j)));
        const double allowed = 16.0 * std::numeric_limits<double>::epsilon() * largest;
        double worst = allowed;
        std::size_t wi = 0, wj = 0;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) {
                if (dense.Line(i, j) == 0 || dense.Line(j, i) == 0) continue;
                const double gap = std::fabs(dense.A(i, j) - dense.A(j, i));
                if (gap > worst || std::isnan(gap)) worst = gap, wi = i, wj = j;
            }
        if (wi == wj) return true;
        return Fail(std::max(dense.Line(wi, wj), dense.Line(wj, wi)),
                    "not symmetric: entry (" + std::to_string(wi + 1) + ", " + std::to_string(wj + 1) + ") is " +
                        FormatShortest(dense.A(wi, wj)) + " but (" + std::to_string(wj + 1) + ", " +
                        std::to_string(wi + 1) + ") is " + FormatShortest(dense.A(wj, wi)) +
                        ", the largest difference, " + FormatShortest(worst) + ", beyond rounding");
    }

    Dense dense;

private:
    std::string name_;
    int cap_;
};

Dense ReadMatrixMarket(std::string_view name, std::string_view text, int cap)
{
    Reader r(name, cap);
    enum { Header, SizeLine, Entries } stage = Header;
    bool symmetric = false;
    bool integer = false;
    std::int64_t promised = 0, given = 0, last = 0;
    ForEachLine(text, [&](std::string_view line, std::int64_t number) {
        last = number;
        if (stage == Header) {
            const auto words = Fields(line, ' ');
            const bool ok = words.size() == 5 && Lower(words[0]) == "%%matrixmarket" && Lower(words[1]) == "matrix" &&
                            Lower(words[2]) == "coordinate" &&
                            (Lower(words[3]) == "real" || Lower(words[3]) == "integer") &&
                            (Lower(words[4]) == "symmetric" || Lower(words[4]) == "general");
            if (!ok)
                return r.Fail(number, "not \"%%MatrixMarket matrix coordinate\" with real or integer entries, "
                                      "symmetric or general");
            symmetric = Lower(words[4]) == "symmetric";
            integer = Lower(words[3]) == "integer";
            stage = SizeLine;
            return true;
        }
        if (Trim(line).empty() || line.starts_with('%')) return true;
        const auto words = Fields(line, ' ');
        if (stage == SizeLine) {
            std::int64_t rows = 0, columns = 0;
            if (words.size() != 3 || !ReadIndex(words[0], rows) || !ReadIndex(words[1], columns) ||
                !(ReadIndex(words[2], promised) || words[2] == "0"))
                return r.Fail(number, "the size line needs rows, columns and entries, three whole numbers");
            if (rows != columns)
                return r.Fail(number, "the matrix is " + std::to_string(rows) + " x " + std::to_string(columns) +
                                          ", not square");
            stage = Entries;
            return r.Size(rows);
        }
        std::int64_t i = 0, j = 0;
        double value = 0.0;
        if (++given > promised)
            return r.Fail(number, "more entries than the " + std::to_string(promised) + " the size line gives");
        if (words.size() != 3) return r.Fail(number, "an entry needs a row, a column and a value");
        if (std::string why = EntryIndexFault(words, i, j); !why.empty()) return r.Fail(number, why);
        if (i > r.dense.n || j > r.dense.n)
            return r.Fail(number, "entry (" + std::to_string(i) + ", " + std::to_string(j) + ") lies outside the " +
                                      std::to_string(r.dense.n) + " x " + std::to_string(r.dense.n) + " matrix");
        if (!ReadNumber(words[2], value)) return r.Fail(number, Quoted(words[2]) + " is not a number");
        if (integer && words[2].find_first_not_of("+-0123456789") != std::string_view::npos)
            return r.Fail(number, Quoted(words[2]) + " is not an integer, as the header's \"integer\" says");
        // A symmetric file holds one triangle: either is taken, never both.
        if (symmetric && i > j) std::swap(i, j);
        return r.Put(i, j, value, number);
    });
    if (!r.dense.error.empty()) return r.dense;
    if (stage != Entries) {
        r.Fail(last, stage == Header ? "the file is empty" : "no size line");
    } else if (given < promised) {
        r.Fail(last, "the size line gives " + std::to_string(promised) + " entries, the file holds " +
                         std::to_string(given));
    } else {
        r.Symmetric();
    }
    return r.dense;
}

// Only the entries that are not zero are written, so a last degree of
// freedom without mass (or stiffness) leaves no line: the order read is the
// largest index, and the model's may be larger (see Import).
Dense ReadTriplets(std::string_view name, std::string_view text, int cap)
{
    Reader r(name, cap);
    std::int64_t order = 0;
    // The size is known only at the end: the entries wait in a list that the
    // text's own size bounds.
    struct Entry {
        std::int64_t i, j, line;
        double value;
    };
    std::vector<Entry> entries;
    ForEachLine(text, [&](std::string_view line, std::int64_t number) {
        if (Trim(line).empty()) return true;
        const auto words = Fields(line, ' ');
        std::int64_t i = 0, j = 0;
        double value = 0.0;
        if (words.size() != 3) return r.Fail(number, "a line needs a row, a column and a value");
        if (std::string why = EntryIndexFault(words, i, j); !why.empty()) return r.Fail(number, why);
        if (!ReadNumber(words[2], value)) return r.Fail(number, Quoted(words[2]) + " is not a number");
        order = std::max({order, i, j});
        // Beyond the largest order taken nothing is kept: the size is all that is told then.
        if (order <= cap) entries.push_back({i, j, number, value});
        return true;
    });
    if (r.dense.error.empty() && order <= cap) {
        r.Allocate(order);
        for (const Entry& e : entries)
            if (!r.Put(e.i, e.j, e.value, e.line)) break;
        if (r.dense.error.empty()) r.Symmetric();
    }
    r.dense.n = static_cast<int>(std::min<std::int64_t>(order, std::numeric_limits<int>::max()));
    return r.dense;
}

Dense ReadDelimited(std::string_view name, std::string_view text, int cap)
{
    Reader r(name, cap);
    char separator = 0;
    std::vector<std::pair<std::string_view, std::int64_t>> rows;  // the first cap, kept
    std::int64_t count = 0;
    ForEachLine(text, [&](std::string_view line, std::int64_t number) {
        if (Trim(line).empty() || line.starts_with('#')) return true;
        if (separator == 0)
            // ';' before ',': a spreadsheet that writes ';' may write a decimal comma too.
            separator = line.find('\t') != std::string_view::npos   ? '\t'
                        : line.find(';') != std::string_view::npos ? ';'
                        : line.find(',') != std::string_view::npos ? ','
                                                                   : ' ';
        if (++count <= cap) rows.emplace_back(line, number);
        return true;
    });
    if (!r.Size(count)) return r.dense;
    const auto n = static_cast<std::size_t>(count);
    for (std::size_t i = 0; i < n; ++i) {
        const auto [line, number] = rows[i];
        const auto fields = Fields(line, separator);
        // A full row, or the upper triangle's row from the diagonal on.
        const std::size_t skip = fields.size() == n ? 0 : i;
        if (fields.size() != n && fields.size() != n - i) {
            r.Fail(number, "row " + std::to_string(i + 1) + " has " + std::to_string(fields.size()) + " entries; expected " +
                               (i > 0 ? std::to_string(n - i) + " or " : std::string()) + std::to_string(n));
            return r.dense;
        }
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const std::size_t j = k + skip;
            double value = 0.0;
            if (j < i && fields[k].empty()) continue;  // below the diagonal, left empty
            if (!ReadNumber(fields[k], value)) {
                r.Fail(number, Quoted(fields[k]) + " is not a number" +
                                   (fields[k].find(',') != std::string_view::npos ? " (the decimal separator is '.')" : ""));
                return r.dense;
            }
            r.Put(static_cast<std::int64_t>(i + 1), static_cast<std::int64_t>(j + 1), value, number);
        }
    }
    r.Symmetric();
    return r.dense;
}

}  // namespace

Dense ReadModelMatrix(std::string_view name, ModelFormat format, std::string_view text, int cap)
{
    switch (format) {
    case ModelFormat::MatrixMarket: return ReadMatrixMarket(name, text, cap);
    case ModelFormat::Triplets: return ReadTriplets(name, text, cap);
    case ModelFormat::Delimited: break;
    }
    return ReadDelimited(name, text, cap);
}


std::string ModelSizeFault(std::int64_t order, int cap)
{
    if (order > cap)
        return "the model has " + std::to_string(order) + " degrees of freedom; the program takes at most " +
               std::to_string(cap);
    if (order < 2)
        return "the model has " + std::to_string(order) + (order == 1 ? " degree" : " degrees") +
               " of freedom; the program takes at least 2";
    return {};
}

std::optional<ModelFormat> FormatOfName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.find('/', dot) != std::string_view::npos) return std::nullopt;
    const std::string extension = Lower(name.substr(dot + 1));
    if (extension == "mtx") return ModelFormat::MatrixMarket;
    if (extension == "sti" || extension == "mas") return ModelFormat::Triplets;
    if (extension == "csv" || extension == "tsv" || extension == "txt") return ModelFormat::Delimited;
    return std::nullopt;
}

ModelFormat FormatOfText(std::string_view text)
{
    if (text.starts_with("%%MatrixMarket") || text.starts_with("%%matrixmarket")) return ModelFormat::MatrixMarket;
    // "row column value" on every line; but three rows of three numbers are
    // a 3 x 3 matrix where they read as a symmetric one.
    bool triplets = true;
    std::int64_t lines = 0;
    ForEachLine(text, [&](std::string_view line, std::int64_t) {
        if (Trim(line).empty()) return true;
        const auto words = Fields(line, ' ');
        std::int64_t index = 0;
        double value = 0.0;
        ++lines;
        triplets = words.size() == 3 && ReadIndex(words[0], index) && ReadIndex(words[1], index) &&
                   ReadNumber(words[2], value);
        return triplets;
    });
    if (!triplets || lines == 0) return ModelFormat::Delimited;
    return lines == 3 && ReadDelimited("", text, MaxOrder).error.empty() ? ModelFormat::Delimited : ModelFormat::Triplets;
}

}  // namespace varno
