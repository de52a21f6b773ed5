#include "ui/background_job.h"

namespace varno::ui {

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent)
{
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &BackgroundJob::Poll);
}

BackgroundJob::~BackgroundJob() = default;

void BackgroundJob::Cancel()
{
    timer_.stop();
    poll_ = nullptr;
}

void BackgroundJob::Poll()
{
    if (!poll_) return;
    // done may start the next job: this one is over before it is called.
    std::function<bool()> poll = std::move(poll_);
    poll_ = nullptr;
    timer_.stop();
    if (!poll()) {
        poll_ = std::move(poll);
        timer_.start();
    }
}

}  // namespace varno::ui
