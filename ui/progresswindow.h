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

    void StartProcessBar(ornamo::Caption caption) override;
    void EndProcessBar() override;
    void step(int position) override;
    bool cancelled() const override { return wasCanceled(); }
};
