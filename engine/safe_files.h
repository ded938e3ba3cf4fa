// Writing files safely in folders that others may share: new text goes to a temporary file
// that only its owner can read, with a short name of its own, which is renamed over the old
// file once complete; folders below a starting folder are opened without following links;
// temporary files still open are removed when the process is stopped by a signal.
#pragma once

#include <string>
#include <string_view>

#ifndef _WIN32
#include <sys/stat.h>
#endif

// Opens the folder `path` for use as the base of the calls below, following a link the
// caller named. -1 with errno set on failure.
int openFolder(const std::string& path);

// Opens the folder `relative` (names joined by '/', empty for `base` itself) below the open
// folder `base`, one name at a time, never following a symbolic link (ELOOP or ENOTDIR
// then). With `create`, missing folders are made (rights 0777 less the umask). -1 with errno
// set on failure. The result is a new descriptor even for an empty `relative`.
int openFolderBelow(int base, std::string_view relative, bool create);

// How replaceAt treats the file it replaces.
struct ReplaceOptions {
#ifndef _WIN32
    // The file being replaced, when there is one: the new file takes its rights, and its
    // owner and group as far as the user may set them.
    const struct stat* original = nullptr;
#endif
    int attributesFrom = -1;  // an open file whose extended attributes the new file takes
    bool durable = true;      // the new text is on disk before it takes the name
    int newFileMode = 0666;   // rights of a file that did not exist, before the umask
};

// Writes `text` to a new temporary file in the open folder `folder` and renames it to
// `name`, replacing what had the name (a symbolic link of that name is replaced, not
// followed). The old file stays as it was on any failure. Returns 0, or an errno value;
// `reason` then holds words for a failure that has no errno value.
int replaceAt(int folder, const std::string& name, std::string_view text,
              const ReplaceOptions& options, std::string& reason);

// The system's temporary folder: TMPDIR when set, else the usual one.
std::string temporaryFolder();

// A new file with a unique name beginning with `prefix` in a folder (the system's temporary
// folder when none is named), readable by its owner alone and never made through a link.
// It is removed when this object ends, and by removeTemporaryFiles until then.
class PrivateFile {
public:
    PrivateFile() = default;
    ~PrivateFile();
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    // Creates the file and returns a descriptor open for reading and writing, which the
    // caller closes; -1 with errno set when it cannot be made.
    int create(const std::string& folderPath, const std::string& prefix);
    // The file's path; empty before create succeeds.
    const std::string& path() const { return path_; }
    // Leaves the file in place when this object ends.
    void keep();

private:
    std::string path_;
    std::string name_;  // its name in the folder; empty once kept
    int folder_ = -1;
    int slot_ = -1;
};

// Removes every temporary file this process still has open for writing. Safe to call from a
// signal handler.
void removeTemporaryFiles() noexcept;

// Makes SIGINT, SIGTERM, SIGHUP and SIGPIPE remove the temporary files before they end the
// process as they would have.
void removeTemporaryFilesOnSignals();
