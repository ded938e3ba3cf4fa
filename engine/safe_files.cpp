// Writing files safely in folders that others may share.
#include "safe_files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif
#endif

namespace {

// Temporary files open for writing, for removal by a signal handler: a fixed table, as a
// handler may not allocate. A name is one of our own making, so it fits its slot.
constexpr int kSlotCount = 256;
constexpr size_t kNameSize = 64;
struct TemporarySlot {
    std::atomic<bool> taken{false};
    std::atomic<int> folder{-1};  // set once the name is in place; -1 when unused
    char name[kNameSize] = {};
};
TemporarySlot temporarySlots[kSlotCount];

// Takes a slot for `name` in the open folder `folder`; -1 when every slot is taken (the
// file is then not removed by a signal, and nothing else changes).
int rememberTemporary(int folder, const std::string& name) {
    if (name.size() >= kNameSize) return -1;
    for (int i = 0; i < kSlotCount; ++i) {
        bool expected = false;
        if (temporarySlots[i].taken.compare_exchange_strong(expected, true)) {
            std::memcpy(temporarySlots[i].name, name.c_str(), name.size() + 1);
            temporarySlots[i].folder.store(folder, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void forgetTemporary(int slot) {
    if (slot < 0) return;
    temporarySlots[slot].folder.store(-1, std::memory_order_release);
    temporarySlots[slot].taken.store(false, std::memory_order_release);
}

// A name no other file is likely to have: the prefix, 16 random hexadecimal digits, ".tmp".
// Short whatever the page's name, so it stays within the file system's name limit.
std::string uniqueName(const std::string& prefix) {
    thread_local std::mt19937_64 random{
        std::random_device{}() ^
        std::hash<std::thread::id>{}(std::this_thread::get_id()) ^
        static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count())};
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
    return prefix + digits + ".tmp";
}

#ifndef _WIN32

// A signal that ends the process sets `stopping`, waits until no thread is between creating
// a temporary file and remembering it, and then removes every file remembered. A thread
// keeps those signals from itself while it creates and remembers one, so the handler never
// waits for the thread it runs on.
std::atomic<bool> stopping{false};
std::atomic<int> creating{0};

sigset_t endingSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&signals, signal);
    return signals;
}

// Creates a new file readable by its owner alone in the open folder, never through a link,
// and remembers it for removal (`slot`); sets `name`. -1 with errno set on failure.
int createUnique(int folder, const std::string& prefix, std::string& name, int& slot) {
    const sigset_t signals = endingSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous);
    creating.fetch_add(1);
    int fd = -1;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && fd < 0 && error == EEXIST; ++attempt) {
        if (stopping.load()) {
            error = EINTR;
            break;
        }
        name = uniqueName(prefix);
        fd = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600);
        error = fd < 0 ? errno : 0;
    }
    slot = fd >= 0 ? rememberTemporary(folder, name) : -1;
    creating.fetch_sub(1);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return fd;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The process's umask. Linux tells it without changing it; elsewhere it is read by setting
// it, which is done once, before any thread starts writing.
mode_t umaskValue() {
    static const mode_t mask = [] {
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            unsigned value = 0;
            bool found = false;
            while (!found && std::fgets(line, sizeof line, status)) {
                found = std::sscanf(line, "Umask: %o", &value) == 1;
            }
            std::fclose(status);
            if (found) return static_cast<mode_t>(value);
        }
        const mode_t value = ::umask(022);
        ::umask(value);
        return value;
    }();
    return mask;
}

// Gives the file `to` the extended attributes of `from`. Attributes the system manages
// itself (security.*) are passed over where they cannot be set; any other that cannot be
// set is a failure (0 or an errno value).
int copyAttributes(int from, int to) {
#if defined(__linux__)
    ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? 0 : errno;
    if (size == 0) return 0;
    std::vector<char> names(static_cast<size_t>(size));
    size = ::flistxattr(from, names.data(), names.size());
    if (size < 0) return errno;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + size;
         name += std::strlen(name) + 1) {
        ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        if (length < 0) return errno;
        value.resize(static_cast<size_t>(length));
        length = ::fgetxattr(from, name, value.data(), value.size());
        if (length < 0) return errno;
        if (::fsetxattr(to, name, value.data(), static_cast<size_t>(length), 0) != 0) {
            if (std::strncmp(name, "security.", 9) == 0) continue;
            return errno;
        }
    }
#else
    (void)from;
    (void)to;
#endif
    return 0;
}

void removeOnSignal(int signal) {
    stopping.store(true);
    while (creating.load() != 0) {
    }
    removeTemporaryFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

#endif

}  // namespace

#ifndef _WIN32

int openFolder(const std::string& path) {
    return ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int openFolderBelow(int base, std::string_view relative, bool create) {
    int folder = ::dup(base);
    while (folder >= 0 && !relative.empty()) {
        const size_t slash = relative.find('/');
        const std::string name(relative.substr(0, slash));
        relative = slash == std::string_view::npos ? std::string_view{} : relative.substr(slash + 1);
        if (name.empty() || name == ".") continue;
        if (create && ::mkdirat(folder, name.c_str(), 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            ::close(folder);
            errno = error;
            return -1;
        }
        const int next = ::openat(folder, name.c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(folder);
        errno = error;
        folder = next;
    }
    return folder;
}

int replaceAt(int folder, const std::string& name, std::string_view text,
              const ReplaceOptions& options, std::string& reason) {
    const mode_t newMode = static_cast<mode_t>(options.newFileMode) & ~umaskValue();
    std::string temporary;
    int slot = -1;
    const int fd = createUnique(folder, ".quillbox-", temporary, slot);
    if (fd < 0) return errno;
    int error = 0;
    if (!writeAll(fd, text)) error = errno;
    if (!error && options.original) {
        // Owner first: changing it clears the set-user and set-group bits that the mode then
        // restores. An owner the user may not give is left as it is, the group kept if it can.
        const struct stat& original = *options.original;
        if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
            (void)::fchown(fd, static_cast<uid_t>(-1), original.st_gid);
        }
        if (::fchmod(fd, original.st_mode & 07777) != 0) error = errno;
    } else if (!error && ::fchmod(fd, newMode) != 0) {
        error = errno;
    }
    if (!error && options.attributesFrom >= 0) {
        error = copyAttributes(options.attributesFrom, fd);
        if (error) reason = std::string("its extended attributes cannot be kept: ") +
                            std::strerror(error);
    }
    if (!error && options.durable && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) error = errno;
    if (error) ::unlinkat(folder, temporary.c_str(), 0);
    forgetTemporary(slot);
    return error;
}

std::string temporaryFolder() {
    // TMPDIR naming a missing folder is an error to tell, not a reason to write elsewhere.
    const char* named = std::getenv("TMPDIR");
    if (named && *named) return named;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? "/tmp" : folder.string();
}

int PrivateFile::create(const std::string& folderPath, const std::string& prefix) {
    const std::string where = folderPath.empty() ? temporaryFolder() : folderPath;
    folder_ = openFolder(where);
    if (folder_ < 0) return -1;
    std::string name;
    const int fd = createUnique(folder_, prefix, name, slot_);
    if (fd < 0) {
        const int error = errno;
        ::close(folder_);
        folder_ = -1;
        errno = error;
        return -1;
    }
    path_ = (std::filesystem::path(where) / name).string();
    name_ = name;
    return fd;
}

void PrivateFile::keep() {
    forgetTemporary(slot_);
    slot_ = -1;
    name_.clear();
}

PrivateFile::~PrivateFile() {
    if (folder_ < 0) return;
    if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
    forgetTemporary(slot_);
    ::close(folder_);
}

void removeTemporaryFiles() noexcept {
    for (TemporarySlot& slot : temporarySlots) {
        const int folder = slot.folder.load(std::memory_order_acquire);
        if (folder >= 0) ::unlinkat(folder, slot.name, 0);
    }
}

void removeTemporaryFilesOnSignals() {
    (void)umaskValue();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        // A signal the caller chose to ignore stays ignored.
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = removeOnSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

#endif
