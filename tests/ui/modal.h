#pragma once

// Answering a modal dialog from a test: the answer runs once the dialog's own event loop is
// up, and a dialog that the answer leaves open fails the test and is closed, so that a faulty
// dialog cannot hang the run.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(QDialog&)> answer, int patienceMs = 5000) {
        answerTimer_.setSingleShot(true);
        QObject::connect(&answerTimer_, &QTimer::timeout, [answer = std::move(answer)] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "no modal dialog is showing";
                return;
            }
            answer(*dialog);
        });
        answerTimer_.start(0);

        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "the dialog " << dialog->objectName().toStdString()
                              << " stayed open";
                dialog->QDialog::done(0);
            }
        });
        watchdog_.start(patienceMs);
    }

private:
    QTimer answerTimer_;
    QTimer watchdog_;
};
