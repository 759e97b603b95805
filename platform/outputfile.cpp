#include "outputfile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ornamo {

namespace {

enum class Kind {
    Plain,   // a regular file, a name that does not exist yet, or a link to either
    Special, // a device node, FIFO or socket, or a link to one: written into directly
    Loop,    // a circle of symbolic links, which QSaveFile would replace by a regular file
};

// What `path` names, through any symbolic links. A name that cannot be examined for another
// reason counts as plain: the temporary file path then reports whatever is wrong with it.
Kind kindOf(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ELOOP ? Kind::Loop : Kind::Plain;
    const bool special = S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ||
                         S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
    return special ? Kind::Special : Kind::Plain;
#else
    Q_UNUSED(path);
    return Kind::Plain;
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

} // namespace

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const QString& path) {
    discard();
    const Kind kind = kindOf(path);
    if (kind == Kind::Loop)
        return false;
    direct_ = kind == Kind::Special;
    if (direct_) {
        // ExistingOnly: should the device have gone meanwhile, no regular file takes its name.
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Unbuffered))
            return false;
        device_ = std::move(file);
    } else {
        // QSaveFile follows symbolic links to their final target, creates its temporary file
        // beside that target with the target's permissions, and renames it over the target
        // in commit(); a temporary file it drops is removed.
        auto file = std::make_unique<QSaveFile>(path);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        device_ = std::move(file);
    }
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
    state_ = State::Closed;
    return committed;
}

void OutputFile::discard() {
    // The QSaveFile's destructor removes an uncommitted temporary file.
    device_.reset();
    state_ = State::Closed;
}

bool OutputFile::fail() {
    discard();
    return false;
}

} // namespace ornamo
