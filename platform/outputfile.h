#pragma once

// An output file that is replaced all or nothing, and several output files replaced all or none.

#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

class QFile;

namespace ornamo {

struct CommitResult;
class OutputFile;
CommitResult commitOutputs(const std::vector<OutputFile*>& outputs);

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
/// SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGUSR1, SIGALRM and SIGXFSZ during a write
/// remove a named temporary file before the process ends as the signal says (unless the signal
/// was ignored or handled before the first open).
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
    /// Whether the target can be replaced as things stand: the folder is the one the name led
    /// to at open(), and the target is no folder, no mount point, not append-only or immutable
    /// (nor is the folder), nor another user's file in a sticky folder. True for a direct
    /// output. What commitOutputs() checks before its first rename.
    bool canReplace() const;
    /// Drops the temporary file, the target keeps its old contents. Closes a direct output.
    void discard();

    bool isOpen() const { return state_ == State::Writing || state_ == State::Finished; }

private:
    friend struct OutputsCommit;
    friend CommitResult commitOutputs(const std::vector<OutputFile*>& outputs);
    enum class State { Closed, Writing, Finished };
    bool fail(); // discards, returns false

    std::unique_ptr<QFile> device_; // the temporary file, or the direct output
    bool direct_ = false;
    int temporarySlot_ = -1; // where the signal handlers find the temporary file's name
    State state_ = State::Closed;
    // A replaced target: its folder, open, and its path; the target's name in it; the
    // temporary file's name there, empty while it has none (made with O_TMPFILE).
    int folder_ = -1;
    QByteArray folderPath_;
    QByteArray name_;
    QByteArray temporaryName_;
};

/// What commitOutputs() did.
struct CommitResult {
    /// Every output now holds what was written.
    bool committed = false;
    /// The output that failed, or -1.
    int failed = -1;
    /// For each output, whether it holds what was written (a direct output: whether it was
    /// written). When the run failed these are all false unless putting an earlier target
    /// back failed too, or the output was written directly.
    std::vector<bool> replaced;
};

/// Replaces the targets of all `outputs` (each finish()ed or finish()able) or none. First every
/// output is finished and every target checked (canReplace()); then the temporary files are
/// renamed over their targets in one sequence, each existing target exchanged with its
/// temporary file (renameat2 RENAME_EXCHANGE, or else kept as a hard link or renamed aside), so
/// that when a later rename fails the earlier targets are put back from what they held. The
/// kept originals are removed at the end. Signals that remove temporary files wait meanwhile.
///
/// What no file system call can make atomic: between the first and the last rename another
/// process may see some targets new and others old, a SIGKILL or a power cut there leaves them
/// so (with the originals under temporary names), and putting a target back is a rename that
/// can fail too; the result then says which targets hold the new contents.
CommitResult commitOutputs(const std::vector<OutputFile*>& outputs);

/// Whether open() would write `path` in place or directly (a device, FIFO or socket, or a file
/// this process has open for writing) rather than through a temporary file.
bool isWrittenInPlace(const QString& path);

/// Whether two output names lead to the same file, through any symbolic links: the same
/// existing file, or the same name in the same folder once every link is resolved.
bool isSameOutput(const QString& first, const QString& second);

} // namespace ornamo
