#pragma once

// The window a long export runs under: its caption, the bar and "Zrušiť".

#include "progress.h"

#include <QProgressDialog>

/// ExportProgress1: a modal window over the main window for the length of one piece of work.
/// "Zrušiť" (or Escape, or the caption's close button) asks the work to stop: cancelled()
/// turns true and the writer ends at its next step, leaving every existing file as it was.
class ProgressWindow : public QProgressDialog, public ornamo::Progress {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent);

    /// A line under the caption, such as the size of the picture written; empty for none.
    void setDetail(const QString& detail) { detail_ = detail; }

    void StartProcessBar(ornamo::Caption caption) override;
    void EndProcessBar() override;
    void step(int position) override;
    bool cancelled() const override { return wasCanceled(); }

private:
    QString detail_;
};
