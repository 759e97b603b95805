#include "outputfile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ornamo {

namespace {

#ifdef Q_OS_UNIX

// The names of the named temporary files being written, for the signal handlers. A slot is
// Free, Filling while its name is copied in, or Ready; the handlers only read Ready slots.
enum SlotState : int { Free, Filling, Ready };
struct TemporarySlot {
    std::atomic<int> state{Free};
    char name[PATH_MAX];
};
constexpr int temporarySlotCount = 16;
TemporarySlot temporarySlots[temporarySlotCount];
constexpr int cleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Async-signal-safe: unlink(), signal() and raise() only. The signal then ends the process
// with its usual status.
extern "C" void removeTemporaries(int signal) {
    for (TemporarySlot& slot : temporarySlots)
        if (slot.state.load() == Ready)
            ::unlink(slot.name);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Installed once, before the first temporary file; a signal the program ignores or handles
// itself keeps its handling.
void installSignalHandlers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (const int signal : cleanedSignals) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler != SIG_DFL)
                continue;
            struct sigaction action {};
            action.sa_handler = removeTemporaries;
            sigemptyset(&action.sa_mask);
            for (const int other : cleanedSignals)
                sigaddset(&action.sa_mask, other);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

// Holds INT, TERM and HUP back for its lifetime (installing their handlers first), so that
// none ends the process between the making of a temporary file and its registration.
class SignalsHeld {
public:
    SignalsHeld() {
        installSignalHandlers();
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : cleanedSignals)
            sigaddset(&held, signal);
        ::pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};

// Registers the name of the temporary file open as `handle`, when it has one (a file made with
// O_TMPFILE has none until commit and needs no cleaning). The slot number, or -1.
int registerTemporary(int handle) {
    struct stat status {};
    if (::fstat(handle, &status) != 0 || status.st_nlink == 0)
        return -1;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", handle);
    for (int i = 0; i < temporarySlotCount; ++i) {
        TemporarySlot& slot = temporarySlots[i];
        int expected = Free;
        if (!slot.state.compare_exchange_strong(expected, Filling))
            continue;
        const ssize_t length = ::readlink(link, slot.name, sizeof slot.name - 1);
        if (length <= 0) {
            slot.state.store(Free);
            return -1;
        }
        slot.name[length] = '\0';
        slot.state.store(Ready);
        return i;
    }
    return -1;
}

void unregisterTemporary(int& slot) {
    if (slot >= 0)
        temporarySlots[slot].state.store(Free);
    slot = -1;
}

QByteArray joined(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The name `path` leads to once every symbolic link on the way is followed in turn, as the
// kernel follows them: the folder through realpath(), then the last name, link by link. No
// link is left in the result; the file it names need not exist. nullopt when a folder on the
// way does not exist or the links loop.
std::optional<QByteArray> resolvedName(QByteArray path) {
    constexpr int mostLinks = 40; // the kernel's own limit
    for (int links = 0; links <= mostLinks; ++links) {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder = slash < 0    ? QByteArray(".")
                                  : slash == 0 ? QByteArray("/")
                                               : path.left(slash);
        const QByteArray name = slash < 0 ? path : path.mid(slash + 1);
        if (name.isEmpty())
            return std::nullopt;
        char real[PATH_MAX];
        if (!::realpath(folder.constData(), real))
            return std::nullopt;
        const QByteArray candidate = joined(QByteArray(real), name);
        struct stat status {};
        if (::lstat(candidate.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return candidate;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(candidate.constData(), target, sizeof target);
        if (length <= 0 || length >= static_cast<ssize_t>(sizeof target))
            return std::nullopt;
        const QByteArray text(target, length);
        path = text.startsWith('/') ? text : joined(QByteArray(real), text);
    }
    return std::nullopt;
}

// A descriptor of this process open for writing on the file `status` describes, or -1.
int openDescriptorOf(const struct stat& status) {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder)
        return -1;
    int found = -1;
    while (const dirent* entry = ::readdir(folder)) {
        char* end = nullptr;
        const long handle = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || handle == ::dirfd(folder))
            continue;
        struct stat other {};
        const int flags = ::fcntl(static_cast<int>(handle), F_GETFL);
        if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY &&
            ::fstat(static_cast<int>(handle), &other) == 0 && other.st_dev == status.st_dev &&
            other.st_ino == status.st_ino) {
            found = static_cast<int>(handle);
            break;
        }
    }
    ::closedir(folder);
    return found;
}

#endif

enum class Kind {
    Plain,   // a regular file, a name that does not exist yet, or a link to either
    InPlace, // a regular file this process has open for writing
    Special, // a device node, FIFO or socket, or a link to one: written into directly
    Refused, // a circle of links, a name whose bytes were lost
};

struct Target {
    Kind kind = Kind::Refused;
    QByteArray name; // Plain: the resolved name; Special: the name as given
    int handle = -1; // InPlace: the open descriptor
};

Target targetOf(const QString& path) {
    if (path.contains(QChar::ReplacementCharacter))
        return {};
    const QByteArray name = QFile::encodeName(path);
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(name.constData(), &status) == 0) {
        if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) || S_ISFIFO(status.st_mode) ||
            S_ISSOCK(status.st_mode))
            return {Kind::Special, name};
        if (S_ISREG(status.st_mode))
            if (const int handle = openDescriptorOf(status); handle >= 0)
                return {Kind::InPlace, name, handle};
    } else if (errno == ELOOP) {
        return {};
    }
    // A name that cannot be resolved (a folder missing on the way) is left to the temporary
    // file, which reports what is wrong with it.
    return {Kind::Plain, resolvedName(name).value_or(name)};
#else
    return {Kind::Plain, name};
#endif
}

// Syncs what the system holds of the open file to the disk. Qt's QSaveFile::commit() syncs
// too but ignores a failure, and QFileDevice::flush() only hands Qt's buffer to the system.
// Pipes, terminals and character devices have nothing to sync and say so with EINVAL.
bool syncToDisk(QFileDevice& device, bool direct) {
#ifdef Q_OS_UNIX
    const int handle = device.handle();
    if (handle < 0)
        return false;
    int result;
    do
        result = ::fsync(handle);
    while (result != 0 && errno == EINTR);
    return result == 0 || (direct && (errno == EINVAL || errno == ENOTSUP));
#else
    // Elsewhere QSaveFile::commit() flushes the system's buffers (FlushFileBuffers) itself.
    Q_UNUSED(device);
    Q_UNUSED(direct);
    return true;
#endif
}

// A QFile over `handle`, which it closes; null when Qt refuses it.
std::unique_ptr<QFile> fileOver(int handle) {
    auto file = std::make_unique<QFile>();
    if (!file->open(handle, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
#ifdef Q_OS_UNIX
        ::close(handle);
#endif
        return nullptr;
    }
    return file;
}

#ifdef Q_OS_UNIX
// Opens an existing device, FIFO or socket for writing without waiting: a FIFO no one reads
// fails at once (ENXIO) instead of blocking until a reader comes. Writes then block as usual.
// No O_CREAT: should the node have gone meanwhile, no regular file takes its name.
int openSpecial(const QByteArray& name) {
    const int handle = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle < 0)
        return -1;
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0 || ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(handle);
        return -1;
    }
    return handle;
}
#endif

} // namespace

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const QString& path) {
    discard();
    const Target target = targetOf(path);
    direct_ = target.kind == Kind::Special || target.kind == Kind::InPlace;
    switch (target.kind) {
    case Kind::Refused:
        return false;
#ifdef Q_OS_UNIX
    case Kind::InPlace:
        device_ = fileOver(::fcntl(target.handle, F_DUPFD_CLOEXEC, 0));
        break;
    case Kind::Special:
        device_ = fileOver(openSpecial(target.name));
        break;
#else
    case Kind::InPlace:
    case Kind::Special:
        return false;
#endif
    case Kind::Plain: {
        // The name has no link left in it, so QSaveFile's own tidying of the name (which takes
        // `..` after a link as text) changes nothing. It creates its temporary file beside the
        // target with the target's permissions, and renames it over the target in commit(); a
        // temporary file it drops is removed.
        auto file = std::make_unique<QSaveFile>(QFile::decodeName(target.name));
#ifdef Q_OS_UNIX
        // The signals wait until the temporary file's name is where their handlers look.
        const SignalsHeld held;
#endif
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
#ifdef Q_OS_UNIX
        temporarySlot_ = registerTemporary(file->handle());
#endif
        device_ = std::move(file);
        break;
    }
    }
    if (!device_)
        return false;
    state_ = State::Writing;
    return true;
}

bool OutputFile::write(const void* data, std::size_t bytes) {
    if (state_ != State::Writing)
        return fail();
    const char* next = static_cast<const char*>(data);
    constexpr std::size_t largestWrite = std::size_t{1} << 30;
    while (bytes > 0) {
        const auto chunk = static_cast<qint64>(std::min(bytes, largestWrite));
        const qint64 written = device_->write(next, chunk);
        if (written <= 0 || written > chunk)
            return fail();
        next += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

bool OutputFile::finish() {
    if (state_ == State::Finished)
        return true;
    if (state_ != State::Writing || !device_->flush() || !syncToDisk(*device_, direct_))
        return fail();
    state_ = State::Finished;
    return true;
}

bool OutputFile::commit() {
    if (!finish())
        return false;
    bool committed;
    if (direct_) {
        device_->close();
        committed = device_->error() == QFileDevice::NoError;
    } else {
        // Removes the temporary file itself when the rename fails.
        committed = static_cast<QSaveFile&>(*device_).commit();
    }
    device_.reset();
#ifdef Q_OS_UNIX
    unregisterTemporary(temporarySlot_);
#endif
    state_ = State::Closed;
    return committed;
}

void OutputFile::discard() {
    // The QSaveFile's destructor removes an uncommitted temporary file.
    device_.reset();
#ifdef Q_OS_UNIX
    unregisterTemporary(temporarySlot_);
#endif
    state_ = State::Closed;
}

bool OutputFile::fail() {
    discard();
    return false;
}

bool isWrittenInPlace(const QString& path) {
    const Kind kind = targetOf(path).kind;
    return kind == Kind::InPlace || kind == Kind::Special;
}

bool isSameOutput(const QString& first, const QString& second) {
#ifdef Q_OS_UNIX
    struct stat one {};
    struct stat other {};
    if (::stat(QFile::encodeName(first).constData(), &one) == 0 &&
        ::stat(QFile::encodeName(second).constData(), &other) == 0)
        return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
#endif
    const Target a = targetOf(first), b = targetOf(second);
    return a.kind == Kind::Plain && b.kind == Kind::Plain && a.name == b.name;
}

} // namespace ornamo
