#include "worksession.h"

#include "workfile.h"

namespace ornamo {

WorkSession::WorkSession(ViewLimits limits, QObject* parent) : QObject(parent), work_(limits) {}

void WorkSession::markSaved() {
    work_.markSaved();
    announce();
}

bool WorkSession::writeTo(OutputFile& file) const {
    return writeWorkFile(file, work_.document());
}

bool WorkSession::save(const QString& path) {
    if (!saveWorkFile(path, work_.document()))
        return false;
    work_.markSaved();
    setFileName(path);
    announce();
    return true;
}

WorkFileFailure WorkSession::open(const QString& path, Progress* progress, const Reader& read) {
    WorkDocument document;
    WorkFileFailure failure = read ? read(path, document) : readWorkFile(path, document);
    if (failure == WorkFileFailure::None)
        failure = work_.open(document, progress);
    if (failure != WorkFileFailure::None)
        return failure;
    setFileName(path);
    announce();
    return failure;
}

void WorkSession::setFileName(const QString& fileName) {
    if (fileName == fileName_)
        return;
    fileName_ = fileName;
    emit fileNameChanged(fileName_);
}

void WorkSession::announce() {
    if (work_.isModified() == announcedModified_)
        return;
    announcedModified_ = work_.isModified();
    emit modifiedChanged(announcedModified_);
}

} // namespace ornamo
