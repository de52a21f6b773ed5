// File work off the window's thread: a file on a stalled disk, a large one,
// or one that never ends must never freeze the window. The work runs on a
// thread of its own while the caller waits in an event loop of its own, so
// that the windows keep painting; meanwhile no input reaches them but
// Escape, which stops the wait.
#pragma once

#include <QObject>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <system_error>
#include <optional>
#include <thread>

namespace varno::ui {

class BackgroundWork final : public QObject {
    Q_OBJECT

public:
    // How a wait ends when it is stopped.
    enum class OnStop {
        Abandon,  // at once; the work's result is dropped when it comes (for reads, which change nothing)
        Finish,   // when the work has ended, told to stop (for saves, which undo what they began)
    };

    // Runs work(stop) and waits for it. Empty where the wait was stopped
    // first (Abandon), or where a wait is under way already. work must own
    // everything it uses: under Abandon it may outlive the call.
    template <class R>
    std::optional<R> Run(std::function<R(const std::atomic<bool>& stop)> work, OnStop onStop)
    {
        if (busy_) return std::nullopt;
        struct Shared {
            std::atomic<bool> stop{false};
            std::atomic<bool> done{false};
            std::optional<R> result;
            std::exception_ptr failure;
        };
        auto shared = std::make_shared<Shared>();
        auto job = std::make_shared<std::function<R(const std::atomic<bool>&)>>(std::move(work));
        const auto body = [shared, job] {
            try {
                shared->result.emplace((*job)(shared->stop));
            } catch (...) {
                shared->failure = std::current_exception();
            }
            shared->done.store(true, std::memory_order_release);
        };
        try {
            std::thread(body).detach();
        } catch (const std::system_error&) {
            body();  // no thread to be had: the work on this one, as it would have been
        }
        const bool finished = Wait([&] { return shared->done.load(std::memory_order_acquire); },
                                   [&] { shared->stop.store(true); }, onStop);
        if (!finished) return std::nullopt;
        if (shared->failure) std::rethrow_exception(shared->failure);
        return std::move(shared->result);
    }

    bool busy() const { return busy_; }
    // Escape, Exit or the close box while busy: ends the wait as Run says.
    void Stop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Serves events until done() or, after Stop, per onStop; false where the
    // wait was abandoned.
    bool Wait(const std::function<bool()>& done, const std::function<void()>& tellStop, OnStop onStop);

    bool busy_ = false;
    bool stopped_ = false;
};

}  // namespace varno::ui
