#pragma once

// A work and its file: the one owner of the work file's name, of whether the work differs from
// that file, and of saving and opening it. The window and ornamo-render both hold their work in
// a WorkSession; the window derives its title from what the session announces.

#include "refusal.h"
#include "work.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <utility>

namespace ornamo {

class OutputFile;

class WorkSession : public QObject {
    Q_OBJECT
public:
    /// Reads a work file into a document, as readWorkFile() does (which is the default).
    using Reader = std::function<WorkFileFailure(const QString&, WorkDocument&)>;

    explicit WorkSession(ViewLimits limits = {}, QObject* parent = nullptr);

    Work& work() { return work_; }
    const Work& work() const { return work_; }
    /// The work file the work was last saved to or opened from; empty before.
    const QString& fileName() const { return fileName_; }
    /// Whether the work differs from what was last saved or opened (Work::isModified()).
    bool isModified() const { return work_.isModified(); }

    /// Runs `change` on the work (a callable taking Work& and giving an Outcome), then announces
    /// whether the work now differs from its file.
    template <typename Change> Outcome change(Change&& change) {
        const Outcome outcome = std::forward<Change>(change)(work_);
        announce();
        return outcome;
    }
    /// The work as it stands is where it starts: it counts as saved, the file name kept.
    void markSaved();

    /// Writes the work file into `file`, opened by the caller, who commits it (with other
    /// outputs, all or nothing). False when it could not be written.
    bool writeTo(OutputFile& file) const;
    /// Writes the work file to `path` all or nothing. Saved, the work counts as saved and
    /// `path` is its file; a failed save changes nothing (an existing file stays as it was).
    bool save(const QString& path);
    /// Reads the work file at `path` with `read` and puts its work in place of this one
    /// (Work::open()): then `path` is its file and the work counts as saved. A failure changes
    /// nothing.
    WorkFileFailure open(const QString& path, Progress* progress = nullptr,
                         const Reader& read = {});

signals:
    void fileNameChanged(const QString& fileName);
    void modifiedChanged(bool modified);

private:
    /// Emits what changed since it was last announced.
    void announce();
    void setFileName(const QString& fileName);

    Work work_;
    QString fileName_;
    bool announcedModified_ = false;
};

} // namespace ornamo
