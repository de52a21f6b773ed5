#include "cli/problem_stream.h"

#include "certified/dynamic/kernel_threads.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/batch.h"
#include "core/line_splitter.h"

namespace varno {
namespace {

constexpr std::size_t ReadSize = std::size_t{1} << 16;
constexpr std::size_t FlushSize = std::size_t{1} << 16;
// A batch of problems goes to a worker at once: large enough that handing it
// over costs nothing, small enough to keep every worker busy.
constexpr std::size_t BatchProblems = 128;
constexpr std::size_t BatchBytes = std::size_t{1} << 16;

struct Unit {
    ProblemLines lines;  // the rows' offsets are into its batch's text
    std::int64_t number = 0;
};

// Problems read, then their answers, written in input order.
struct Batch {
    std::string text;
    std::vector<Unit> units;
    std::string out;
    std::string err;
    bool malformed = false;
    bool withoutReport = false;
    std::atomic<bool> done{false};

    void Clear()
    {
        text.clear();
        units.clear();
        out.clear();
        err.clear();
        malformed = withoutReport = false;
        done.store(false, std::memory_order_relaxed);
    }
    bool Full() const { return units.size() >= BatchProblems || text.size() >= BatchBytes; }
};

// Reads, runs and answers every problem of batch. alone: the only problem of
// the input, answered exactly as a problem alone.
void Answer(Batch& batch, const StreamOptions& options, bool alone)
{
    const std::string said = options.name.empty() ? "varno-cli: " : "varno-cli: " + options.name + ": ";
    for (const Unit& unit : batch.units) {
        const BatchParse parse = ReadProblemLines(unit.lines, batch.text, options.strict);
        // A problem not answered: why, in its place and on err; alone, as
        // the command with -k and -m says it.
        const auto unanswered = [&](const std::string& alonePart, std::int64_t errorLine, const std::string& reason) {
            batch.malformed = true;
            if (alone) {
                ((batch.err += said) += alonePart) += '\n';
                return;
            }
            const std::int64_t kLine = unit.lines.kLine != 0 ? unit.lines.kLine : errorLine;
            const std::int64_t line = errorLine != 0 ? errorLine : kLine;
            (((((batch.err += said) += "line ") += std::to_string(line)) += ": ") += reason) += '\n';
            if (options.json)
                AppendJsonError(batch.out, kLine, reason);
            else
                ((((((batch.out += "# problem ") += std::to_string(unit.number)) += " (line ") += std::to_string(kLine))
                  += ")\n") += reason) += "\n\n";
        };
        if (!parse.ok()) {
            unanswered(parse.Message(), parse.errorLine, parse.reason);
            continue;
        }
        for (const std::string& warning : parse.warnings) ((batch.err += said) += warning) += '\n';
        // A problem's own directions count as --directions would; the option, where given, over them.
        const bool own = options.modal.directions.empty() && !parse.problem.directions.empty();
        ModalOptions modal = options.modal;
        if (own) modal.directions = parse.problem.directions;
        ProgramState state;
        if (parse.problem.large && options.jobs == 1) KernelThreadsForAlone(parse.problem.n, DefaultJobs());
        const BatchRun run = RunBatch(parse.problem, state,
                                      {.eigenvalues = options.json, .modes = options.modes || modal.any()}, modal);
        // Half an answer would pass for a whole one in a script.
        if (!run.modalError.empty()) {
            unanswered(run.modalError, 0, run.modalError);
            continue;
        }
        batch.withoutReport = batch.withoutReport || ExitStatusOf(run) != 0;
        if (options.json) {
            AppendJsonOutput(batch.out, run, alone ? 0 : unit.lines.kLine, parse.warnings);
        } else {
            if (!alone)
                ((((batch.out += "# problem ") += std::to_string(unit.number)) += " (line ") +=
                 std::to_string(unit.lines.kLine)) += ")\n";
            AppendPlainOutput(batch.out, run);
        }
    }
    batch.done.store(true, std::memory_order_release);
}

// Worker threads answering batches in the order given.
class Workers {
public:
    Workers(int count, const StreamOptions& options) : options_(options)
    {
        // Under a limit on threads or address space (a batch system's
        // ulimit), fewer workers do the same work: the output is the same.
        try {
            for (int t = 0; t < count; ++t) threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
        }
    }
    bool Started() const { return !threads_.empty(); }
    ~Workers()
    {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        work_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    void Push(Batch* batch)
    {
        {
            const std::lock_guard lock(mutex_);
            queue_.push_back(batch);
        }
        work_.notify_one();
    }
    void Wait(const Batch& batch)
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return batch.done.load(std::memory_order_acquire); });
    }

private:
    void Work()
    {
        while (true) {
            Batch* batch = nullptr;
            {
                std::unique_lock lock(mutex_);
                work_.wait(lock, [&] { return stop_ || !queue_.empty(); });
                if (queue_.empty()) return;
                batch = queue_.front();
                queue_.pop_front();
            }
            Answer(*batch, options_, false);
            {
                const std::lock_guard lock(mutex_);  // so that Wait cannot miss the notification
            }
            done_.notify_all();
        }
    }

    const StreamOptions& options_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::deque<Batch*> queue_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

class Reader {
public:
    Reader(ByteSink& out, ByteSink& err, const StreamOptions& options, ProgressObserver* progress)
        : out_(out), err_(err), options_(options), progress_(progress), batch_(NewBatch())
    {
        if (options.jobs > 1) {
            workers_ = std::make_unique<Workers>(options.jobs, options);
            // The workers share out the cores; the kernels must not share each one out again.
            if (workers_->Started()) LimitKernelThreads(1);
        }
        if (workers_ && !workers_->Started()) workers_.reset();  // all the work on this thread, then
    }

    ~Reader() { workers_.reset(); }  // before the batches they may still hold

    int Run(ByteSource& in)
    {
        std::string chunk(ReadSize, '\0');
        bool first = true;
        while (!failed_ && !refused_) {
            if (options_.stream && !first && in.WouldWait()) Drain();
            first = false;
            if (failed_) break;
            const std::ptrdiff_t got = in.Read(chunk.data(), chunk.size());
            if (got < 0) {
                readError_ = in.error;
                break;
            }
            bytesRead_ += got;
            if (got == 0) {
                EndOfInput();
                break;
            }
            lines_.Take(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
            if (refused_) {  // not a file of problems: nothing after its first line is read
                if (open_.any) FinishOpen();
                Finish();
            }
        }
        if (!readError_.empty() && !failed_) {
            // What was read whole is answered; the problem being read is not.
            open_ = Fresh();
            if (problems_ > 0) Finish();
        }
        Flush();
        if (!readError_.empty()) {
            err_.Write("varno-cli: " + readError_ + "\n");
            return 2;
        }
        if (failed_) {
            err_.Write("varno-cli: " + out_.error + "\n");
            return 2;
        }
        return malformed_ ? 2 : withoutReport_ ? 1 : 0;
    }

    // What the splitter asks of its handler.
    void Line(std::string_view line, std::int64_t number, std::uint64_t)
    {
        const LineKind kind = ClassifyLine(line);
        if (kind == LineKind::Blank) return;
        if (kind == LineKind::Comment) {
            if (open_.section >= 0 && !skipping_) open_.Add(kind, line, number, openText_);
            return;
        }
        if (kind != LineKind::K && FirstLine()) refused_ = true;  // an input that is no file of problems
        if (kind == LineKind::K)
            skipping_ = false;
        else if (skipping_)
            return;
        if (kind == LineKind::K && open_.section >= 0) FinishOpen();  // a new problem begins
        open_.Add(kind, line, number, openText_);
        if (options_.stream && kind != LineKind::K) FinishWhenDecided();
    }
    void OversizeLine(std::int64_t number)
    {
        if (skipping_) return;
        open_.AddOversizeRow(number);
        if (options_.stream) FinishWhenDecided();
    }
    bool AtFirstLine() const { return FirstLine(); }
    bool Stopped() const { return failed_ || refused_; }

private:
    static std::unique_ptr<Batch> NewBatch() { return std::make_unique<Batch>(); }

    // Before any line that counts: the first must start a problem.
    bool FirstLine() const { return problems_ == 0 && !open_.any; }

    // With stream, a problem is answered as soon as its answer is certain:
    // whole, or malformed whatever follows; the rest of a malformed one, up
    // to the next "K", is passed over.
    void FinishWhenDecided()
    {
        if (open_.Complete()) {
            FinishOpen();
        } else if (open_.CertainlyMalformed(openText_)) {
            FinishOpen();
            skipping_ = true;
        }
    }

    void EndOfInput()
    {
        lines_.End();
        // Lines after the last complete problem of a stream, or an input
        // without a single problem, still make one.
        if (open_.any || problems_ == 0) FinishOpen();
        Finish();
    }

    // The problem being read is whole: into the batch with it.
    void FinishOpen()
    {
        Unit unit{std::move(open_), ++problems_};
        unit.lines.ShiftOffsets(batch_->text.size());
        batch_->text += openText_;
        batch_->units.push_back(std::move(unit));
        open_ = Fresh();
        openText_.clear();
        // The first problem waits: without stream, its form depends on whether a second follows.
        if (batch_->Full() && (options_.stream || problems_ > 1)) Submit();
    }

    void Submit()
    {
        if (batch_->units.empty()) return;
        if (!workers_) {
            Answer(*batch_, options_, false);
            Write(*batch_);
            batch_->Clear();
            return;
        }
        Batch* batch = batch_.get();
        inFlight_.push_back(std::move(batch_));
        if (spare_.empty()) {
            batch_ = NewBatch();
        } else {
            batch_ = std::move(spare_.back());
            spare_.pop_back();
        }
        workers_->Push(batch);
        WriteAnswered(inFlight_.size() >= static_cast<std::size_t>(4 * options_.jobs));
    }

    // Writes the answered batches at the front; with wait, the first at least.
    void WriteAnswered(bool wait)
    {
        while (!inFlight_.empty() && !failed_) {
            Batch& front = *inFlight_.front();
            if (!front.done.load(std::memory_order_acquire)) {
                if (!wait) return;
                workers_->Wait(front);
            }
            wait = false;
            Write(front);
            front.Clear();
            spare_.push_back(std::move(inFlight_.front()));
            inFlight_.pop_front();
        }
    }

    // Everything read so far answered and written out.
    void Drain()
    {
        Submit();
        while (!inFlight_.empty() && !failed_) WriteAnswered(true);
        Flush();
    }

    void Finish()
    {
        // The only problem without stream, or an input without a single one.
        const bool alone = problems_ == 1 && !batch_->units.empty() &&
                           (!options_.stream || !batch_->units.front().lines.any);
        if (alone) {
            Answer(*batch_, options_, true);
            Write(*batch_);
            batch_->Clear();
            return;
        }
        Drain();
    }

    void Write(const Batch& batch)
    {
        if (!batch.err.empty()) {
            Flush();  // what was answered before goes out before the message about what follows
            err_.Write(batch.err);
        }
        malformed_ = malformed_ || batch.malformed;
        withoutReport_ = withoutReport_ || batch.withoutReport;
        answered_ += static_cast<std::int64_t>(batch.units.size());
        if (batch.out.size() >= FlushSize / 4) {  // large enough to go out as it is
            Flush();
            if (!failed_ && !out_.Write(batch.out)) failed_ = true;
        } else {
            Emit(batch.out);
        }
        if (progress_ != nullptr) progress_->Update(answered_, bytesRead_);
    }

    void Emit(std::string_view text)
    {
        pending_ += text;
        if (pending_.size() >= FlushSize) Flush();
    }

    void Flush()
    {
        if (pending_.empty() || failed_) return;
        if (!out_.Write(pending_)) failed_ = true;
        pending_.clear();
    }

    ByteSink& out_;
    ByteSink& err_;
    const StreamOptions& options_;
    ProgressObserver* progress_;
    std::unique_ptr<Workers> workers_;
    std::unique_ptr<Batch> batch_;                  // being filled
    std::deque<std::unique_ptr<Batch>> inFlight_;  // with the workers, in input order
    std::vector<std::unique_ptr<Batch>> spare_;
    LineSplitter<Reader> lines_{*this};
    // Problems of any n the dynamic-size path takes.
    static ProblemLines Fresh()
    {
        ProblemLines lines;
        lines.cap = MaxDynamicOrder;
        return lines;
    }
    ProblemLines open_ = Fresh();  // the problem being read
    std::string openText_;
    std::int64_t problems_ = 0;
    std::int64_t answered_ = 0;
    std::int64_t bytesRead_ = 0;
    std::string pending_;
    std::string readError_;
    bool failed_ = false;  // the output could not be written
    bool refused_ = false;   // the first line cannot start a problem
    bool skipping_ = false;  // the lines of a problem already answered as malformed
    bool malformed_ = false;
    bool withoutReport_ = false;
};

}  // namespace

int RunProblemStream(ByteSource& in, ByteSink& out, ByteSink& err, const StreamOptions& options,
                     ProgressObserver* progress)
{
    StreamOptions checked = options;
    checked.jobs = std::max(1, options.jobs);
    Reader reader(out, err, checked, progress);
    return reader.Run(in);
}

int RunProblemText(std::string_view input, std::string& out, std::string& err, const StreamOptions& options,
                   std::size_t chunk)
{
    TextSource in(input, chunk);
    StringSink outSink(out);
    StringSink errSink(err);
    return RunProblemStream(in, outSink, errSink, options);
}

int DefaultJobs()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return count;
    }
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace varno
