#include "side_thread.h"

#include <chrono>
#include <system_error>
#include <utility>

namespace {

// How long a thread looks for the other's signal before it sleeps.
constexpr auto kSpinTime = std::chrono::microseconds(200);

// Whether `flag` came to hold `value` within kSpinTime.
bool awaitBriefly(const std::atomic<bool>& flag, bool value) {
    const auto until = std::chrono::steady_clock::now() + kSpinTime;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (flag.load(std::memory_order_acquire) == value) return true;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        if (std::chrono::steady_clock::now() >= until) return false;
    }
}

}  // namespace

SideThread::~SideThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool SideThread::start(std::function<void()> task, bool last) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (busy_) return false;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    task_ = std::move(task);
    last_ = last;
    failure_ = nullptr;
    busy_ = true;
    posted_.store(true, std::memory_order_release);
    lock.unlock();
    changed_.notify_all();
    return true;
}

void SideThread::wait() {
    awaitBriefly(busy_, false);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void SideThread::run() {
    bool lookFirst = true;
    for (;;) {
        // After a page's last task the next comes only with the next page, which may be a
        // while: looking for it would only spend the processor.
        if (lookFirst) awaitBriefly(posted_, true);
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || posted_; });
        if (stopping_) return;
        std::function<void()> task = std::move(task_);
        task_ = nullptr;
        posted_ = false;
        lookFirst = !last_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            task();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        failure_ = failure;
        busy_.store(false, std::memory_order_release);
        lock.unlock();
        changed_.notify_all();
    }
}
