#pragma once

// An output file that is replaced all or nothing.

#include <QString>

#include <cstddef>
#include <memory>

class QFileDevice;

namespace ornamo {

/// Where a writer puts a file. A regular file, or a name that does not exist yet, is written to
/// a temporary file in the same folder and only replaces the target in commit(), so a failed or
/// abandoned write leaves an existing file exactly as it was and no temporary file behind.
///
/// The target is the file the name leads to as the kernel follows it: every symbolic link on
/// the way is resolved in turn before anything is chosen, so `dir/link/../x` means the `x`
/// beside the folder `link` really points to. A symbolic link stays a link: its final target
/// gets the data, atomically when that target is a regular file (or does not exist yet).
/// A name that leads to a file this process has open for writing (`/dev/stdout` sent to a
/// file, `/proc/self/fd/N`) is written into in place through that open file: `>>` appends,
/// `>` ends up holding exactly the output. A name that is an existing device node, FIFO or
/// socket is written into directly and is never replaced by a regular file; a FIFO that no one
/// reads is refused at once rather than waited for. What was written in place or directly
/// cannot be taken back.
///
/// A name holding U+FFFD (what a name that is not UTF-8 becomes once decoded) is refused:
/// its bytes are lost, and another file would be written.
///
/// SIGINT, SIGTERM and SIGHUP during a write remove a named temporary file before the process
/// ends as the signal says (unless the signal was ignored or handled before the first open).
///
/// Every call after a failure fails; the failing call has already discarded the temporary file.
class OutputFile {
public:
    OutputFile();
    ~OutputFile(); ///< discard()s what was not committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Starts writing to `path`, discarding whatever this object was writing before. False when
    /// the temporary file (or the direct output) cannot be opened; nothing is changed then.
    bool open(const QString& path);
    /// Appends `bytes` bytes. False when not open, or when not all of them could be written.
    bool write(const void* data, std::size_t bytes);
    /// Everything written is handed to the system and synced to disk, but the target is not
    /// replaced yet: a caller with two outputs finishes both and only then commits both.
    bool finish();
    /// finish()es if not done, then renames the temporary file over the target (a direct output
    /// is only finished). True when the target now holds exactly what was written.
    bool commit();
    /// Drops the temporary file, the target keeps its old contents. Closes a direct output.
    void discard();

    bool isOpen() const { return state_ == State::Writing || state_ == State::Finished; }
    /// Whether the output is written into directly rather than through a temporary file.
    bool isDirect() const { return direct_; }

private:
    enum class State { Closed, Writing, Finished };
    bool fail(); // discards, returns false

    std::unique_ptr<QFileDevice> device_; // a QSaveFile, or a QFile for a direct output
    bool direct_ = false;
    int temporarySlot_ = -1; // where the signal handlers find the temporary file's name
    State state_ = State::Closed;
};

/// Whether open() would write `path` in place or directly (a device, FIFO or socket, or a file
/// this process has open for writing) rather than through a temporary file.
bool isWrittenInPlace(const QString& path);

/// Whether two output names lead to the same file, through any symbolic links: the same
/// existing file, or the same name in the same folder once every link is resolved.
bool isSameOutput(const QString& first, const QString& second);

} // namespace ornamo
