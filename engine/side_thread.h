// A thread that runs one task at a time beside its owner's work. It is kept from page to page,
// so neither the thread nor its memory is set up anew for each page.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class SideThread {
public:
    SideThread() = default;
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;
    ~SideThread();

    // Starts `task` on the thread, starting the thread first if need be. False when no thread
    // can be started: the caller then does the work itself. `last` says that no task follows
    // soon (the page's last): the thread then sleeps at once instead of looking for one.
    bool start(std::function<void()> task, bool last = false);
    // Waits until the task started last has ended; rethrows what it threw.
    void wait();

private:
    void run();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> task_;
    // Set and cleared under the mutex; read without it to wait a moment before sleeping.
    // A page's tasks follow each other within microseconds, and waking a sleeping thread
    // takes about as long as a short task.
    std::atomic<bool> busy_{false};
    std::atomic<bool> posted_{false};  // a task waits to be taken
    bool stopping_ = false;
    bool last_ = false;  // the task taken last is a page's last: sleep at once after it
    std::exception_ptr failure_;
};
