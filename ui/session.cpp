#include "ui/session.h"

#include <algorithm>
#include <bit>

#include "core/message_text.h"
#include "core/order.h"

namespace varno::ui {

std::vector<std::uint64_t> Session::Content(const MatrixStore& store, const std::vector<Direction>& directions)
{
    const int n = store.Dimension;
    std::vector<std::uint64_t> bits;
    if (n < 2 || n > MaxOrder) return bits;
    bool anything = false;
    bits.push_back(static_cast<std::uint64_t>(n));
    for (const Matrix10* x : {&store.K, &store.M})
        for (std::size_t i = 1; i <= static_cast<std::size_t>(n); ++i)
            for (std::size_t j = i; j <= static_cast<std::size_t>(n); ++j) {
                bits.push_back(std::bit_cast<std::uint64_t>((*x)[i][j]));
                anything = anything || bits.back() != 0;
            }
    if (!anything) {
        bits.clear();
        return bits;
    }
    // Those of the n degrees of freedom a Save writes, x where none is given.
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
        bits.push_back(static_cast<std::uint64_t>(i < directions.size() ? directions[i] : Direction::X));
    return bits;
}

void Session::MarkSaved(const MatrixStore& store, const std::vector<Direction>& directions)
{
    saved_ = Content(store, directions);
}

bool Session::Modified(const MatrixStore& store, const std::vector<Direction>& directions) const
{
    return Content(store, directions) != saved_;
}

bool Session::MayLeave(const MatrixStore& store, const std::vector<Direction>& directions,
                       const std::function<SaveAnswer()>& ask, const std::function<bool()>& save) const
{
    if (!Modified(store, directions)) return true;
    switch (ask()) {
    case SaveAnswer::Save: return save();
    case SaveAnswer::Discard: return true;
    case SaveAnswer::Cancel: break;
    }
    return false;
}

std::string Session::DisplayName() const
{
    if (!source_) return "Untitled";
    const std::string& path = source_->path;
    const std::size_t slash = path.find_last_of('/');
    return PrintableName(slash == std::string::npos ? path : path.substr(slash + 1));
}

std::vector<std::string> WithRecent(std::vector<std::string> recent, const std::string& path)
{
    std::erase(recent, path);
    recent.insert(recent.begin(), path);
    if (recent.size() > RecentCount) recent.resize(RecentCount);
    return recent;
}

std::vector<std::string> WithoutRecent(std::vector<std::string> recent, const std::string& path)
{
    std::erase(recent, path);
    return recent;
}

}  // namespace varno::ui
