#include "outputfile.h"

#include <QFile>
#include <QRandomGenerator>

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
#include <linux/fs.h>
#include <pthread.h>
#include <sys/ioctl.h>
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
constexpr int cleanedSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGPIPE,
                                  SIGQUIT, SIGUSR1, SIGALRM, SIGXFSZ};

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

// Holds the cleaned signals back for its lifetime (installing their handlers first), so that
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

// Registers `path`, a temporary file's name, for the signal handlers. The slot number, or -1
// when every slot is taken or the name is too long.
int registerTemporary(const QByteArray& path) {
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < temporarySlotCount; ++i) {
        TemporarySlot& slot = temporarySlots[i];
        int expected = Free;
        if (!slot.state.compare_exchange_strong(expected, Filling))
            continue;
        std::memcpy(slot.name, path.constData(), static_cast<std::size_t>(path.size()) + 1);
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

// Syncs what the system holds of the open file to the disk: QFileDevice::flush() only hands
// Qt's buffer to the system.
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
    // Elsewhere nothing is written through a temporary file (open() refuses).
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

#ifdef Q_OS_UNIX
namespace {

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// A name for a temporary file beside `name`: the name, a dot and six random letters or digits.
QByteArray temporaryNameFor(const QByteArray& name) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray result = name + '.';
    for (int i = 0; i < 6; ++i)
        result += letters[QRandomGenerator::global()->bounded(int{sizeof letters} - 1)];
    return result;
}

template <typename Call> int withoutInterruption(Call call) {
    int result;
    do
        result = call();
    while (result < 0 && errno == EINTR);
    return result;
}

// Creates the temporary file for `name` in `folder` with `mode`: unnamed (O_TMPFILE) where the
// file system allows, otherwise under a fresh name, stored in `temporaryName`. -1 on failure.
int createTemporary(int folder, const QByteArray& name, mode_t mode, QByteArray& temporaryName) {
    temporaryName.clear();
    const int unnamed = withoutInterruption(
        [&] { return ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode); });
    if (unnamed >= 0)
        return unnamed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = temporaryNameFor(name);
        const int handle = withoutInterruption([&] {
            return ::openat(folder, candidate.constData(),
                            O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, mode);
        });
        if (handle >= 0) {
            temporaryName = candidate;
            return handle;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// The attribute flags of the file open as `handle` (FS_IOC_GETFLAGS), 0 where it has none.
long attributesOf(int handle) {
    long flags = 0;
    if (::ioctl(handle, FS_IOC_GETFLAGS, &flags) != 0)
        return 0;
    return flags;
}

bool isAppendOnlyOrImmutable(long flags) {
    return (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

// Whether `name` in `folder` is a mount point (a rename over it gives EBUSY).
bool isMountPoint(int folder, const QByteArray& name, const struct stat& folderStatus,
                  const struct stat& status) {
#ifdef STATX_ATTR_MOUNT_ROOT
    struct statx extended {};
    if (::statx(folder, name.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &extended) == 0 &&
        (extended.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0)
        return (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    return status.st_dev != folderStatus.st_dev;
}

} // namespace
#endif

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
    case Kind::Plain: {
        // The name has no link left in it. The temporary file goes beside the target, with the
        // target's permissions when it exists; the folder stays open so that the renames
        // happen in it and a folder put in its place is noticed.
        folderPath_ = folderOf(target.name);
        name_ = nameOf(target.name);
        folder_ = withoutInterruption(
            [&] { return ::open(folderPath_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
        if (folder_ < 0)
            return fail();
        struct stat existing {};
        const bool exists =
            ::fstatat(folder_, name_.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(existing.st_mode);
        const mode_t mode = exists ? existing.st_mode & 07777 : 0666;
        // The signals wait until the temporary file's name is where their handlers look.
        const SignalsHeld held;
        const int handle = createTemporary(folder_, name_, mode, temporaryName_);
        if (handle < 0)
            return fail();
        if (!temporaryName_.isEmpty())
            temporarySlot_ = registerTemporary(joined(folderPath_, temporaryName_));
        if (exists)
            ::fchmod(handle, mode); // the umask applied at creation
        device_ = fileOver(handle);
        break;
    }
#else
    case Kind::InPlace:
    case Kind::Special:
    case Kind::Plain:
        return false;
#endif
    }
    if (!device_)
        return fail();
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
    return commitOutputs({this}).committed;
}

bool OutputFile::canReplace() const {
    if (direct_)
        return isOpen();
#ifdef Q_OS_UNIX
    if (!isOpen() || folder_ < 0)
        return false;
    // The folder the name leads to now is the one the temporary file is in.
    struct stat folderStatus {};
    struct stat named {};
    if (::fstat(folder_, &folderStatus) != 0 || ::stat(folderPath_.constData(), &named) != 0 ||
        named.st_dev != folderStatus.st_dev || named.st_ino != folderStatus.st_ino)
        return false;
    if (isAppendOnlyOrImmutable(attributesOf(folder_)))
        return false;
    struct stat status {};
    if (::fstatat(folder_, name_.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT; // a new name
    if (S_ISDIR(status.st_mode) || isMountPoint(folder_, name_, folderStatus, status))
        return false;
    // In a sticky folder only the owner of the file or of the folder may rename over it.
    const uid_t user = ::geteuid();
    if ((folderStatus.st_mode & S_ISVTX) && user != 0 && status.st_uid != user &&
        folderStatus.st_uid != user)
        return false;
    if (S_ISREG(status.st_mode)) {
        const int handle = ::openat(folder_, name_.constData(),
                                    O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (handle >= 0) {
            const long flags = attributesOf(handle);
            ::close(handle);
            if (isAppendOnlyOrImmutable(flags))
                return false;
        }
    }
    return true;
#else
    return false;
#endif
}

void OutputFile::discard() {
    device_.reset();
#ifdef Q_OS_UNIX
    if (!temporaryName_.isEmpty() && folder_ >= 0)
        ::unlinkat(folder_, temporaryName_.constData(), 0);
    temporaryName_.clear();
    unregisterTemporary(temporarySlot_);
    if (folder_ >= 0)
        ::close(folder_);
    folder_ = -1;
#endif
    state_ = State::Closed;
}

bool OutputFile::fail() {
    discard();
    return false;
}

#ifdef Q_OS_UNIX

// The steps of commitOutputs(), with access to the outputs' insides.
struct OutputsCommit {
    // How a target was replaced, and so how it is put back.
    enum class Replaced { No, Created, Exchanged, Linked, RenamedAside };
    struct Entry {
        OutputFile* output;
        Replaced replaced = Replaced::No;
        QByteArray kept; // the original's name in the folder (Linked, RenamedAside)
    };

    // Gives the temporary file of a finished output a name in its folder (it has one unless
    // it was made with O_TMPFILE).
    static bool name(OutputFile& output) {
        if (!output.temporaryName_.isEmpty())
            return true;
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", output.device_->handle());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray candidate = temporaryNameFor(output.name_);
            if (::linkat(AT_FDCWD, link, output.folder_, candidate.constData(),
                         AT_SYMLINK_FOLLOW) == 0) {
                output.temporaryName_ = candidate;
                output.temporarySlot_ = registerTemporary(joined(output.folderPath_, candidate));
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    static bool targetExists(const OutputFile& output) {
        struct stat status {};
        return ::fstatat(output.folder_, output.name_.constData(), &status, AT_SYMLINK_NOFOLLOW) ==
               0;
    }

    // Renames the temporary file over the target, keeping the original.
    static bool replace(Entry& entry) {
        OutputFile& o = *entry.output;
        const int folder = o.folder_;
        const char* temporary = o.temporaryName_.constData();
        const char* target = o.name_.constData();
        if (!targetExists(o)) {
            if (::renameat2(folder, temporary, folder, target, RENAME_NOREPLACE) != 0)
                return false;
            entry.replaced = Replaced::Created;
            return true;
        }
        if (::renameat2(folder, temporary, folder, target, RENAME_EXCHANGE) == 0) {
            entry.replaced = Replaced::Exchanged; // the original is under the temporary name
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        // No exchange on this file system: the original kept as a hard link, or else renamed
        // aside, before the temporary file takes its name.
        entry.kept = temporaryNameFor(o.name_);
        if (::linkat(folder, target, folder, entry.kept.constData(), 0) == 0) {
            if (::renameat(folder, temporary, folder, target) != 0) {
                ::unlinkat(folder, entry.kept.constData(), 0);
                return false;
            }
            entry.replaced = Replaced::Linked;
            return true;
        }
        if (::renameat2(folder, target, folder, entry.kept.constData(), RENAME_NOREPLACE) != 0)
            return false;
        if (::renameat(folder, temporary, folder, target) != 0) {
            ::renameat(folder, entry.kept.constData(), folder, target);
            return false;
        }
        entry.replaced = Replaced::RenamedAside;
        return true;
    }

    // Puts the original back; false when it cannot be.
    static bool putBack(Entry& entry) {
        OutputFile& o = *entry.output;
        const int folder = o.folder_;
        const char* target = o.name_.constData();
        bool back = false;
        switch (entry.replaced) {
        case Replaced::No:
            return true;
        case Replaced::Created:
            back = ::unlinkat(folder, target, 0) == 0;
            break;
        case Replaced::Exchanged:
            back = ::renameat2(folder, o.temporaryName_.constData(), folder, target,
                               RENAME_EXCHANGE) == 0;
            break;
        case Replaced::Linked:
        case Replaced::RenamedAside:
            back = ::renameat(folder, entry.kept.constData(), folder, target) == 0;
            if (back)
                entry.kept.clear();
            break;
        }
        if (back)
            entry.replaced = Replaced::No;
        return back;
    }

    // Replaces every target in order, a direct output counting as replaced already; when one
    // fails, every earlier target is put back as it was, newest first, and every entry
    // finished. The index of the one that failed, or -1.
    static int replaceAll(std::vector<Entry>& entries, CommitResult& result) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].output->direct_) {
                result.replaced[i] = true;
                continue;
            }
            if (!replace(entries[i])) {
                for (std::size_t j = i; j-- > 0;)
                    if (!entries[j].output->direct_)
                        result.replaced[j] = !putBack(entries[j]);
                for (Entry& entry : entries)
                    if (!entry.output->direct_)
                        finish(entry);
                return static_cast<int>(i);
            }
            result.replaced[i] = true;
        }
        return -1;
    }

    // Closes the direct outputs (the first whose device reports an error is the one that
    // failed) and finishes the replaced ones, their renames synced to the disk.
    static void closeAll(std::vector<Entry>& entries, CommitResult& result) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            OutputFile& output = *entries[i].output;
            if (output.direct_) {
                output.device_->close();
                if (output.device_->error() != QFileDevice::NoError && result.failed < 0)
                    result.failed = static_cast<int>(i);
                output.discard();
            } else {
                ::fsync(output.folder_); // the renames on the disk too, where it can say so
                finish(entries[i]);
            }
        }
    }

    // The original that the replacement kept is removed, and the output closed. A temporary
    // file that was renamed to the target has no name of its own left to remove.
    static void finish(Entry& entry) {
        OutputFile& o = *entry.output;
        if (!entry.kept.isEmpty())
            ::unlinkat(o.folder_, entry.kept.constData(), 0);
        if (entry.replaced != Replaced::No && entry.replaced != Replaced::Exchanged)
            o.temporaryName_.clear();
        o.discard();
    }
};

CommitResult commitOutputs(const std::vector<OutputFile*>& outputs) {
    CommitResult result;
    result.replaced.assign(outputs.size(), false);
    const auto failAt = [&](std::size_t i) {
        result.failed = static_cast<int>(i);
        for (std::size_t j = 0; j < outputs.size(); ++j)
            if (outputs[j]->direct_)
                result.replaced[j] = true; // written into already
            else
                outputs[j]->discard();
        return result;
    };
    for (std::size_t i = 0; i < outputs.size(); ++i)
        if (!outputs[i]->finish())
            return failAt(i);

    // Nothing is renamed until every target has passed its checks, and no signal removes a
    // temporary file (which may by then hold an original) while the renames run.
    const SignalsHeld held;
    for (std::size_t i = 0; i < outputs.size(); ++i)
        if (!outputs[i]->direct_ &&
            (!OutputsCommit::name(*outputs[i]) || !outputs[i]->canReplace()))
            return failAt(i);

    std::vector<OutputsCommit::Entry> entries;
    entries.reserve(outputs.size());
    for (OutputFile* output : outputs)
        entries.push_back({output, OutputsCommit::Replaced::No, {}});
    if (const int failed = OutputsCommit::replaceAll(entries, result); failed >= 0)
        return failAt(static_cast<std::size_t>(failed));
    OutputsCommit::closeAll(entries, result);
    result.committed = result.failed < 0;
    return result;
}

#else

CommitResult commitOutputs(const std::vector<OutputFile*>& outputs) {
    return {false, outputs.empty() ? -1 : 0, std::vector<bool>(outputs.size(), false)};
}

#endif

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
