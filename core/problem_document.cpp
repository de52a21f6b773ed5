#include "core/problem_document.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/message_text.h"
#include "core/problem_splice.h"

namespace varno {
namespace {

constexpr const char* Stopped = "stopped";

bool Told(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed); }

// The problem at entry of the file open as fd, its lines numbered as in the file.
PickedProblem ReadAt(int fd, const std::string& path, const ProblemEntry& entry, const std::atomic<bool>* stop)
{
    PickedProblem picked;
    if (lseek(fd, static_cast<off_t>(entry.offset), SEEK_SET) < 0) {
        picked.error = SystemError(errno);
        return picked;
    }
    FdSource in(fd, PrintableName(path));
    const ProblemFileScan scan = ScanProblemFile(
        in, {.firstLine = entry.line, .firstOffset = entry.offset, .firstOnly = true, .stop = stop});
    if (!scan.ok() || scan.count != 1 || scan.first.line != entry.line || scan.first.n != entry.n) {
        picked.error = scan.stopped ? Stopped : "it changed since it was opened";
        return picked;
    }
    picked.problem = scan.first;
    return picked;
}

}  // namespace

ProblemFileOpen OpenProblemFile(const std::string& path, const std::atomic<bool>* stop)
{
    ProblemFileOpen opened;
    const OpenedFile file = OpenRegularFile(path, path);
    if (!file.ok()) {
        opened.error = file.reason;
        opened.missing = file.missing;
        return opened;
    }
    opened.stamp = file.stamp;
    FdSource in(file.fd.get(), PrintableName(path));
    opened.scan = ScanProblemFile(in, {.stop = stop});
    if (!opened.scan.ok()) opened.error = opened.scan.error;
    return opened;
}

PickedProblem ReadPickedProblem(const std::string& path, const FileStamp& stamp, const ProblemEntry& entry,
                                const std::atomic<bool>* stop)
{
    PickedProblem picked;
    const OpenedFile file = OpenRegularFile(path, path);
    if (!file.ok()) {
        picked.error = file.reason;
        return picked;
    }
    if (!file.stamp.Unchanged(stamp)) {
        picked.error = "it changed since it was opened";
        return picked;
    }
    return ReadAt(file.fd.get(), path, entry, stop);
}

ProblemSave SaveProblemInPlace(const ProblemSource& source, const Matrix10& K, const Matrix10& M, int n,
                               const std::vector<Direction>& directions, SaveIo& io, const std::atomic<bool>* stop)
{
    ProblemSave save;
    save.outcome = SaveFile(
        source.path,
        [&](const std::function<bool(std::string_view)>& put) -> std::string {
            const OpenedFile file = OpenRegularFile(source.path, source.path);
            if (!file.ok()) return file.reason;
            if (!file.stamp.Unchanged(source.stamp)) {
                save.elsewhere = true;
                return "it changed on disk since it was opened";
            }
            FdSource in(file.fd.get(), PrintableName(source.path));
            bool told = false;
            const std::string why = SpliceProblem(in, source.read, K, M, n, directions, [&](std::string_view piece) {
                told = told || Told(stop);
                return !told && put(piece);
            });
            if (told) return Stopped;
            save.elsewhere = !why.empty() && why != in.error;
            return why;
        },
        io);
    save.stopped = !save.outcome.ok() && Told(stop);
    if (!save.outcome.ok()) return save;
    save.elsewhere = false;
    // What the next Save compares with: the problem as it now is on disk.
    save.source.path = source.path;
    const OpenedFile file = OpenRegularFile(source.path, source.path);
    const PickedProblem now =
        file.ok() ? ReadAt(file.fd.get(), source.path, {source.read.line, source.read.offset, n}, nullptr) : PickedProblem{};
    if (file.ok() && now.ok()) {
        save.source.stamp = file.stamp;
        save.source.read = now.problem;
    }
    // Else a stamp of no file: the next Save finds the file changed, and asks.
    return save;
}

ProblemSave SaveProblemAs(const std::string& path, const Matrix10& K, const Matrix10& M, int n,
                          const std::vector<Direction>& directions, std::string_view version, SaveIo& io,
                          const std::atomic<bool>* stop)
{
    ProblemSave save;
    const std::string text = WriteProblemFile(K, M, n, version, directions);
    save.outcome = SaveFile(
        path,
        [&](const std::function<bool(std::string_view)>& put) -> std::string {
            if (Told(stop)) return Stopped;
            put(text);
            return {};
        },
        io);
    save.stopped = !save.outcome.ok() && Told(stop);
    if (!save.outcome.ok()) return save;
    TextSource written(text);
    save.source = {path, save.outcome.stamp, ScanProblemFile(written).first};
    return save;
}

}  // namespace varno
