#include "core/model_import.h"

#include <algorithm>
#include <cstdint>

#include "core/file_io.h"
#include "core/model_formats.h"
#include "core/problem_lines.h"

namespace varno {
namespace {

// The upper triangle for n, each entry from above the diagonal where it was
// given there; what was not given is 0.
void Store(const Dense& d, int n, Matrix10& X, DenseMatrix& whole)
{
    whole = DenseMatrix(n);
    const std::size_t read = static_cast<std::size_t>(d.n);  // a file of triplets may stop short of n
    for (std::size_t i = 0; i < read; ++i)
        for (std::size_t j = i; j < read; ++j) {
            const double v = d.Line(i, j) != 0 ? d.A(i, j) : d.A(j, i);
            whole(static_cast<int>(i), static_cast<int>(j)) = whole(static_cast<int>(j), static_cast<int>(i)) = v;
            if (n <= MaxOrder) X[i + 1][j + 1] = v;
        }
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
                     std::string_view mPath, std::string_view mText, int cap)
{
    ImportedModel model;
    for (auto [name, text] : {std::pair{kName, &kText}, std::pair{mName, &mText}}) {
        model.error = TextFault(name, *text, model.problemFile);
        if (!model.ok()) return model;
    }
    const ModelFormat kFormat = FormatOf(kPath, kText), mFormat = FormatOf(mPath, mText);
    const Dense k = ReadModelMatrix(kName, kFormat, kText, cap);
    if (!k.error.empty()) {
        model.error = k.error;
        return model;
    }
    const Dense m = ReadModelMatrix(mName, mFormat, mText, cap);
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
    if (const std::string why = ModelSizeFault(n, cap); !why.empty()) {
        model.error = std::string(kLeast && m.n > k.n ? mName : kName) + ": " + why;
        return model;
    }
    model.n = n;
    Store(k, n, model.K, model.k);
    Store(m, n, model.M, model.m);
    return model;
}

}  // namespace

ImportedModel ImportModel(std::string_view kName, std::string_view kText, std::string_view mName,
                          std::string_view mText, int cap)
{
    return Import(kName, kName, kText, mName, mName, mText, cap);
}

ImportedModel ImportModelFiles(const ModelFiles& files)
{
    const std::string_view shownK = files.shownK.empty() ? files.k : files.shownK;
    const std::string_view shownM = files.shownM.empty() ? files.m : files.shownM;
    const std::string tooLarge =
        "a model of at most " + std::to_string(files.cap) + " degrees of freedom takes far less";
    const std::size_t limit = files.cap > MaxOrder ? MaxDynamicModelBytes : MaxModelBytes;
    ImportedModel model;
    const WholeFile k = ReadWholeFile(files.k, shownK, limit, tooLarge);
    if (!k.ok()) {
        model.error = k.error;
        return model;
    }
    const WholeFile m = ReadWholeFile(files.m, shownM, limit, tooLarge);
    if (!m.ok()) {
        model.error = m.error;
        return model;
    }
    // The format is the path's, the name in messages the one shown.
    model = Import(shownK, files.k, k.text, shownM, files.m, m.text, files.cap);
    if (!model.ok() || files.dof.empty()) return model;
    // CalculiX names the rows' degrees of freedom in jobname.dof, a line each.
    const std::string_view shownDof = files.shownDof.empty() ? files.dof : files.shownDof;
    const WholeFile dof = ReadWholeFile(files.dof, shownDof, limit, tooLarge);
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
