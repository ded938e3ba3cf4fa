#include "side_thread.h"

#include <system_error>
#include <utility>

SideThread::~SideThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool SideThread::start(std::function<void()> task) {
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
    busy_ = true;
    failure_ = nullptr;
    lock.unlock();
    changed_.notify_all();
    return true;
}

void SideThread::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void SideThread::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || (busy_ && task_); });
        if (stopping_) return;
        std::function<void()> task = std::move(task_);
        task_ = nullptr;
        lock.unlock();
        std::exception_ptr failure;
        try {
            task();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        failure_ = failure;
        busy_ = false;
        changed_.notify_all();
    }
}
