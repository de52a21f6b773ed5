#include "core/model_import.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/file_io.h"
#include "core/message_text.h"
#include "core/number_text.h"
#include "core/problem_lines.h"

namespace varno {
namespace {

constexpr auto Order = static_cast<std::size_t>(MaxOrder);

// One matrix as read: the entries given, each with its line (0: not given).
struct Dense {
    int n = 0;
    std::array<std::array<double, Order>, Order> a{};
    std::array<std::array<std::int64_t, Order>, Order> line{};
    std::string error;
};

std::string Lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return out;
}

std::string_view Trim(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

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

// Calls each(line, number) for every line of text, the final CR gone.
template <class Each>
void ForEachLine(std::string_view text, Each each)
{
    std::int64_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        start = end + 1;
        if (!each(line, ++number)) return;
    }
}

class Reader {
public:
    explicit Reader(std::string_view name) : name_(name) {}

    bool Fail(std::int64_t line, const std::string& what)
    {
        if (dense.error.empty())
            dense.error = name_ + (line > 0 ? ": line " + std::to_string(line) + ": " : ": ") + what;
        return false;
    }

    // The model's order, or the one message saying it is more than the program takes.
    bool Size(std::int64_t order)
    {
        if (order > MaxOrder)
            return Fail(0, "the model has " + std::to_string(order) + " degrees of freedom; the program takes at most " +
                               std::to_string(MaxOrder));
        if (order < 2)
            return Fail(0, "the model has " + std::to_string(order) + (order == 1 ? " degree" : " degrees") +
                               " of freedom; the program takes at least 2");
        dense.n = static_cast<int>(order);
        return true;
    }

    bool Put(std::int64_t i, std::int64_t j, double value, std::int64_t line)
    {
        auto& at = dense.line[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)];
        if (at != 0)
            return Fail(line, "entry (" + std::to_string(i) + ", " + std::to_string(j) + ") was given on line " +
                                  std::to_string(at) + " already");
        at = line;
        dense.a[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)] = value;
        return true;
    }

    // Entries given on both sides of the diagonal must agree to within
    // rounding of the matrix's largest entry: the largest disagreement is named.
    bool Symmetric()
    {
        const auto n = static_cast<std::size_t>(dense.n);
        double largest = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) largest = std::max(largest, std::fabs(dense.a[i][j]));
        const double allowed = 16.0 * std::numeric_limits<double>::epsilon() * largest;
        double worst = allowed;
        std::size_t wi = 0, wj = 0;
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) {
                if (dense.line[i][j] == 0 || dense.line[j][i] == 0) continue;
                const double gap = std::fabs(dense.a[i][j] - dense.a[j][i]);
                if (gap > worst || std::isnan(gap)) worst = gap, wi = i, wj = j;
            }
        if (wi == wj) return true;
        return Fail(std::max(dense.line[wi][wj], dense.line[wj][wi]),
                    "not symmetric: entry (" + std::to_string(wi + 1) + ", " + std::to_string(wj + 1) + ") is " +
                        FormatShortest(dense.a[wi][wj]) + " but (" + std::to_string(wj + 1) + ", " +
                        std::to_string(wi + 1) + ") is " + FormatShortest(dense.a[wj][wi]) +
                        ", the largest difference, " + FormatShortest(worst) + ", beyond rounding");
    }

    Dense dense;

private:
    std::string name_;
};

Dense ReadMatrixMarket(std::string_view name, std::string_view text)
{
    Reader r(name);
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
Dense ReadTriplets(std::string_view name, std::string_view text)
{
    Reader r(name);
    std::int64_t order = 0;
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
        if (order > MaxOrder) return true;
        return r.Put(i, j, value, number);
    });
    r.dense.n = static_cast<int>(std::min<std::int64_t>(order, std::numeric_limits<int>::max()));
    if (r.dense.error.empty() && order <= MaxOrder) r.Symmetric();
    return r.dense;
}

Dense ReadDelimited(std::string_view name, std::string_view text)
{
    Reader r(name);
    char separator = 0;
    std::vector<std::pair<std::string_view, std::int64_t>> rows;  // the first MaxOrder, kept
    std::int64_t count = 0;
    ForEachLine(text, [&](std::string_view line, std::int64_t number) {
        if (Trim(line).empty() || line.starts_with('#')) return true;
        if (separator == 0)
            // ';' before ',': a spreadsheet that writes ';' may write a decimal comma too.
            separator = line.find('\t') != std::string_view::npos   ? '\t'
                        : line.find(';') != std::string_view::npos ? ';'
                        : line.find(',') != std::string_view::npos ? ','
                                                                   : ' ';
        if (++count <= MaxOrder) rows.emplace_back(line, number);
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

Dense ReadMatrix(std::string_view name, ModelFormat format, std::string_view text)
{
    switch (format) {
    case ModelFormat::MatrixMarket: return ReadMatrixMarket(name, text);
    case ModelFormat::Triplets: return ReadTriplets(name, text);
    case ModelFormat::Delimited: break;
    }
    return ReadDelimited(name, text);
}

// The upper triangle for n, each entry from above the diagonal where it was
// given there; what was not given is 0.
void Store(const Dense& d, int n, Matrix10& X)
{
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
        for (std::size_t j = i; j < static_cast<std::size_t>(n); ++j)
            X[i + 1][j + 1] = d.line[i][j] != 0 ? d.a[i][j] : d.a[j][i];
}

ModelFormat FormatOf(std::string_view name, std::string_view text)
{
    return FormatOfName(name).value_or(FormatOfText(text));
}

// Why a text is none of the formats read, before any is tried: "" where it
// may be one. A byte-order mark, as a spreadsheet's UTF-8 export begins,
// is taken off.
std::string TextFault(std::string_view name, std::string_view& text, bool& problemFile)
{
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const std::string_view head = text.substr(0, 4096);
    // UTF-16 without its mark still has nothing in one byte of every two.
    const auto everyOther = [&](std::size_t from) {
        for (std::size_t i = from; i < head.size(); i += 2)
            if (head[i] != '\0') return false;
        return head.size() >= 2;
    };
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") || everyOther(0) || everyOther(1))
        return std::string(name) + " is UTF-16 text, which is not read: save it as UTF-8 or plain text";
    if (head.find('\0') != std::string_view::npos) return std::string(name) + " is not text: it holds NUL bytes";
    // A problem file, K and M in one, given as one of a model's files.
    bool first = true;
    ForEachLine(text, [&](std::string_view line, std::int64_t) {
        const LineKind kind = ClassifyLine(line);
        if (kind == LineKind::Blank || kind == LineKind::Comment || line.starts_with('%')) return true;
        problemFile = first && (kind == LineKind::K || kind == LineKind::M);
        first = false;
        return false;
    });
    if (problemFile) return std::string(name) + " is a problem file, with K and M together, not one matrix of a model";
    return {};
}

ImportedModel Import(std::string_view kName, std::string_view kPath, std::string_view kText, std::string_view mName,
                     std::string_view mPath, std::string_view mText)
{
    ImportedModel model;
    for (auto [name, text] : {std::pair{kName, &kText}, std::pair{mName, &mText}}) {
        model.error = TextFault(name, *text, model.problemFile);
        if (!model.ok()) return model;
    }
    const ModelFormat kFormat = FormatOf(kPath, kText), mFormat = FormatOf(mPath, mText);
    const Dense k = ReadMatrix(kName, kFormat, kText);
    if (!k.error.empty()) {
        model.error = k.error;
        return model;
    }
    const Dense m = ReadMatrix(mName, mFormat, mText);
    if (!m.error.empty()) {
        model.error = m.error;
        return model;
    }
    // A file of triplets gives only a least order; the model's is the other
    // file's, or the larger of the two.
    const bool kLeast = kFormat == ModelFormat::Triplets, mLeast = mFormat == ModelFormat::Triplets;
    const int n = !kLeast ? k.n : !mLeast ? m.n : std::max(k.n, m.n);
    if ((kLeast ? k.n > n : k.n != n) || (mLeast ? m.n > n : m.n != n)) {
        model.error = std::string(kName) + " holds K of order " + std::to_string(k.n) + " but " + std::string(mName) +
                      " holds M of order " + std::to_string(m.n);
        return model;
    }
    Reader sized(kLeast && m.n > k.n ? mName : kName);
    if (!sized.Size(n)) {
        model.error = sized.dense.error;
        return model;
    }
    model.n = n;
    Store(k, n, model.K);
    Store(m, n, model.M);
    return model;
}

}  // namespace

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
    return lines == 3 && ReadDelimited("", text).error.empty() ? ModelFormat::Delimited : ModelFormat::Triplets;
}

ImportedModel ImportModel(std::string_view kName, std::string_view kText, std::string_view mName,
                          std::string_view mText)
{
    return Import(kName, kName, kText, mName, mName, mText);
}

ImportedModel ImportModelFiles(const ModelFiles& files)
{
    const std::string_view shownK = files.shownK.empty() ? files.k : files.shownK;
    const std::string_view shownM = files.shownM.empty() ? files.m : files.shownM;
    const std::string tooLarge =
        "a model of at most " + std::to_string(MaxOrder) + " degrees of freedom takes far less";
    ImportedModel model;
    const WholeFile k = ReadWholeFile(files.k, shownK, MaxModelBytes, tooLarge);
    if (!k.ok()) {
        model.error = k.error;
        return model;
    }
    const WholeFile m = ReadWholeFile(files.m, shownM, MaxModelBytes, tooLarge);
    if (!m.ok()) {
        model.error = m.error;
        return model;
    }
    // The format is the path's, the name in messages the one shown.
    model = Import(shownK, files.k, k.text, shownM, files.m, m.text);
    if (!model.ok() || files.dof.empty()) return model;
    // CalculiX names the rows' degrees of freedom in jobname.dof, a line each.
    const std::string_view shownDof = files.shownDof.empty() ? files.dof : files.shownDof;
    const WholeFile dof = ReadWholeFile(files.dof, shownDof, MaxModelBytes, tooLarge);
    if (!dof.ok()) {
        model = {};
        model.error = dof.error;
        return model;
    }
    std::vector<std::string> labels;
    ForEachLine(dof.text, [&](std::string_view line, std::int64_t) {
        if (const std::string_view label = Trim(line); !label.empty()) labels.emplace_back(label);
        return labels.size() <= static_cast<std::size_t>(model.n);
    });
    if (labels.size() != static_cast<std::size_t>(model.n)) {
        const std::size_t n = static_cast<std::size_t>(model.n);
        model = {};
        model.error = std::string(shownDof) + " names " + (labels.size() > n ? "more than " + std::to_string(n) : std::to_string(labels.size())) +
                      " degrees of freedom; the model has " + std::to_string(n);
        return model;
    }
    model.labels = std::move(labels);
    return model;
}

ModelRole RoleOfName(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = Lower(slash == std::string_view::npos ? path : path.substr(slash + 1));
    const std::size_t dot = name.rfind('.');
    const std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot + 1);
    if (extension == "sti") return ModelRole::K;
    if (extension == "mas") return ModelRole::M;
    // Words, so that the m of "beam" says nothing.
    const std::string_view base = std::string_view(name).substr(0, dot == std::string::npos || dot == 0 ? name.size() : dot);
    bool k = false, m = false;
    for (std::size_t i = 0; i < base.size();) {
        if (base[i] < 'a' || base[i] > 'z') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < base.size() && base[end] >= 'a' && base[end] <= 'z') ++end;
        const std::string_view word = base.substr(i, end - i);
        k = k || word == "k" || word.starts_with("stiff");
        m = m || word == "m" || word.starts_with("mass");
        i = end;
    }
    return k == m ? ModelRole::Unknown : k ? ModelRole::K : ModelRole::M;
}

}  // namespace varno
