// Work that may take minutes (the eigenvalues of a large model) off the
// window's thread, without a wait: unlike BackgroundWork, the window stays
// fully usable meanwhile, so that it can show progress and offer Cancel.
// The result comes back on the window's thread, through done.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

namespace varno::ui {

class BackgroundJob final : public QObject {
    Q_OBJECT

public:
    explicit BackgroundJob(QObject* parent = nullptr);
    ~BackgroundJob() override;

    // Starts work on a thread of its own; done(result) follows on this
    // object's thread once it has ended, with nothing where work threw.
    // False, and nothing started, while a job is running. work must own
    // everything it uses: a cancelled job runs on, unseen, to its end.
    template <class R>
    bool Start(std::function<R()> work, std::function<void(std::optional<R>)> done)
    {
        if (running()) return false;
        struct Shared {
            std::atomic<bool> finished{false};
            std::optional<R> result;
        };
        auto shared = std::make_shared<Shared>();
        auto job = std::make_shared<std::function<R()>>(std::move(work));
        const auto body = [shared, job] {
            try {
                shared->result.emplace((*job)());
            } catch (...) {
                shared->result.reset();
            }
            shared->finished.store(true, std::memory_order_release);
        };
        poll_ = [shared, done = std::move(done)]() -> bool {
            if (!shared->finished.load(std::memory_order_acquire)) return false;
            done(std::move(shared->result));
            return true;
        };
        try {
            std::thread(body).detach();
        } catch (const std::system_error&) {
            body();  // no thread to be had: the work on this one
        }
        timer_.start();
        return true;
    }

    bool running() const { return static_cast<bool>(poll_); }
    // Returns at once: done is never called for the job running, whose
    // result is dropped when it comes.
    void Cancel();

private:
    void Poll();

    QTimer timer_;
    std::function<bool()> poll_;
};

}  // namespace varno::ui
