#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "file_system.h"
#include "file_system_internal.h"

namespace fsys {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// The temporary file that an interrupt must remove, kept where a signal
// handler can read it without allocating: set only while the file exists.
char g_tempPath[PATH_MAX];
volatile sig_atomic_t g_tempSet = 0;

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onInterrupt(int sig) {
    if (g_tempSet) unlink(g_tempPath);
    _exit(128 + sig);
}

// Keeps the interrupt signals away from this thread while the temporary file
// comes and goes, so that the handler never sees a file it does not know of.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kInterrupts) sigaddset(&set, sig);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t old_;
};

mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A new, uniquely named file in folder. The name is short and fixed in
// length, so that it fits wherever the target's own name fits.
int createTemp(const std::string& folder, std::string* tempPath) {
    std::string name = folder + "/.pallodex-XXXXXX";
    InterruptsHeld held;
    const int fd = mkstemp(&name[0]);
    if (fd < 0) return -1;
    if (name.size() < sizeof g_tempPath) {
        std::memcpy(g_tempPath, name.c_str(), name.size() + 1);
        g_tempSet = 1;
    }
    *tempPath = name;
    return fd;
}

void dropTemp(const std::string& tempPath) {
    const int err = errno;
    InterruptsHeld held;
    unlink(tempPath.c_str());
    g_tempSet = 0;
    errno = err;
}

// Hands the temporary file (open as fd) to the writer and closes it. On any
// failure the file is gone and err says why.
bool fillTemp(int fd, const std::string& temp, const Writer& writer, int* err) {
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        *err = errno;
        close(fd);
        dropTemp(temp);
        return false;
    }
    if (runWriter(f, writer, err)) return true;
    if (*err == 0) *err = EIO;
    dropTemp(temp);
    return false;
}


bool renameTemp(const std::string& tempPath, const std::string& target) {
    InterruptsHeld held;
    if (rename(tempPath.c_str(), target.c_str()) != 0) return false;
    g_tempSet = 0;
    return true;
}

WriteResult fail(std::string* errorText, const std::string& reason) {
    if (errorText) *errorText = reason;
    return WriteResult::Failed;
}

WriteResult failErrno(std::string* errorText, int err) { return fail(errorText, std::strerror(err)); }

// A FIFO, terminal or device takes the bytes as they come, as a shell
// redirection gives them; there is no old contents to keep.
WriteResult writeDirectly(const std::string& target, const Writer& writer, std::string* errorText) {
    const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failErrno(errorText, errno);
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        const int err = errno;
        close(fd);
        return failErrno(errorText, err);
    }
    int err = 0;
    if (!runWriter(f, writer, &err)) return failErrno(errorText, err ? err : EIO);
    return WriteResult::Written;
}

bool writeAllAt(int fd, const char* data, std::size_t size, off_t at) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        at += n;
    }
    return true;
}

// Rewrites the file itself, for when its identity matters more than an
// atomic replace: other hard links to it, or a folder that takes no new
// files. The new contents are complete in a nameless file first (nothing to
// clean up after an interrupt) and their room in the target is reserved
// before the first old byte is overwritten, so what can still fail halfway
// is the device itself.
WriteResult rewriteInPlace(const std::string& path, const Writer& writer, std::string* errorText) {
    int staged = open(folderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    std::FILE* f = staged >= 0 ? fdopen(staged, "w+b") : std::tmpfile();
    if (!f) {
        const int err = errno;
        if (staged >= 0) close(staged);
        return failErrno(errorText, err);
    }
    staged = dup(fileno(f));  // runWriter closes f; the contents are read back through this
    if (staged < 0) {
        const int err = errno;
        std::fclose(f);
        return failErrno(errorText, err);
    }
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } stagedCloser{staged};
    int err = 0;
    if (!runWriter(f, writer, &err)) return failErrno(errorText, err ? err : EIO);
    struct stat st;
    if (fstat(staged, &st) != 0) return failErrno(errorText, errno);
    const off_t size = st.st_size;

    const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failErrno(errorText, errno);
    Closer targetCloser{fd};
    err = size > 0 ? posix_fallocate(fd, 0, size) : 0;
    if (err != 0 && err != EOPNOTSUPP && err != EINVAL) return failErrno(errorText, err);
    std::vector<char> chunk(std::min<off_t>(size, off_t{1} << 20));
    for (off_t at = 0; at < size;) {
        const ssize_t n = pread(staged, chunk.data(), chunk.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || !writeAllAt(fd, chunk.data(), static_cast<std::size_t>(n), at))
            return fail(errorText, std::string(std::strerror(n < 0 ? errno : EIO)) + " (the file is damaged)");
        at += n;
    }
    if (ftruncate(fd, size) != 0 || fsync(fd) != 0)
        return fail(errorText, std::string(std::strerror(errno)) + " (the file is damaged)");
    return WriteResult::Written;
}

// The temporary file takes over path; `existing` (null for a new file) gives
// the owner and permission bits it must carry.
WriteResult replaceFile(const std::string& path, const struct stat* existing, const Writer& writer,
                        std::string* errorText) {
    std::string temp;
    const int fd = createTemp(folderOf(path), &temp);
    if (fd < 0) {
        const int err = errno;
        // A writable file in a folder that takes no new files can still be
        // rewritten.
        if (existing && (err == EACCES || err == EPERM)) return rewriteInPlace(path, writer, errorText);
        return failErrno(errorText, err);
    }
    if (existing) {
        // The owner first: changing it may clear set-id bits that the mode
        // then puts back. Neither may fail the write; a user who cannot give
        // the file away still gets a file of their own.
        if (existing->st_uid != geteuid() || existing->st_gid != getegid())
            (void)!fchown(fd, existing->st_uid, existing->st_gid);
        fchmod(fd, existing->st_mode & 07777);
    } else {
        fchmod(fd, newFileMode());  // mkstemp creates 0600
    }
    int err = 0;
    if (!fillTemp(fd, temp, writer, &err)) return failErrno(errorText, err);
    if (!renameTemp(temp, path)) {
        err = errno;
        dropTemp(temp);
        return failErrno(errorText, err);
    }
    return WriteResult::Written;
}


}  // namespace

std::string currentDirectory() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

bool setCurrentDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

std::FILE* openForReading(const std::string& path, std::string* errorText) {
    auto refuse = [&](const char* reason) -> std::FILE* {
        if (errorText) *errorText = reason;
        return nullptr;
    };
    // The type is checked before opening: opening a device can have effects
    // of its own, and opening a FIFO waits for a writer.
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return refuse(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return refuse(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode)) return refuse("not a regular file");
    // O_NONBLOCK in case it was swapped for a FIFO in between; the second
    // check below then refuses it.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return refuse(std::strerror(errno));
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return refuse("not a regular file");
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, "rb");
    if (!f) {
        const int err = errno;
        close(fd);
        return refuse(std::strerror(err));
    }
    return f;
}

WriteResult writeFile(const std::string& target, const Writer& writer, std::string* errorText) {
    if (target.empty()) return failErrno(errorText, ENOENT);
    struct stat st;
    if (stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return failErrno(errorText, errno);
        // A link to nothing yet: the file goes where the link points, as a
        // shell redirection puts it.
        char link[PATH_MAX];
        const ssize_t n = readlink(target.c_str(), link, sizeof link - 1);
        if (n <= 0) return replaceFile(target, nullptr, writer, errorText);
        std::string pointee(link, static_cast<std::size_t>(n));
        if (pointee[0] != '/') pointee = folderOf(target) + "/" + pointee;
        return replaceFile(pointee, nullptr, writer, errorText);
    }
    if (S_ISDIR(st.st_mode)) return failErrno(errorText, EISDIR);
    if (!S_ISREG(st.st_mode)) return writeDirectly(target, writer, errorText);
    if ((st.st_mode & 0222) == 0) return WriteResult::ReadOnly;

    // Through any links to the file itself, so that the links stay links.
    std::string path = target;
    if (char* real = realpath(target.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    if (st.st_nlink > 1) return rewriteInPlace(path, writer, errorText);
    return replaceFile(path, &st, writer, errorText);
}

WriteResult writeNewFile(const std::string& target, const Writer& writer, std::string* errorText) {
    if (target.empty()) return failErrno(errorText, ENOENT);
    std::string temp;
    const int fd = createTemp(folderOf(target), &temp);
    if (fd < 0) return failErrno(errorText, errno);
    fchmod(fd, newFileMode());
    int err = 0;
    if (!fillTemp(fd, temp, writer, &err)) return failErrno(errorText, err);
    // A hard link, unlike a rename, never takes the place of a file that is
    // already there.
    const bool linked = link(temp.c_str(), target.c_str()) == 0;
    err = errno;
    dropTemp(temp);
    if (linked) return WriteResult::Written;
    return err == EEXIST ? WriteResult::Exists : failErrno(errorText, err);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    if (!d) return names;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    return names;
}

bool makeFolder(const std::string& folder) {
    struct stat st;
    return mkdir(folder.c_str(), 0777) == 0 || (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

void removeTemporaryFileOnInterrupt() {
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int sig : kInterrupts) sigaddset(&action.sa_mask, sig);
    for (int sig : kInterrupts) {
        // A signal ignored by whoever started us (nohup, a background job)
        // stays ignored.
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }
}

}  // namespace fsys
