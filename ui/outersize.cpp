#include "outersize.h"

OuterSizeFit::ClientSizes OuterSizeFit::frameSeen(QSize frame, QSize client) {
    const ClientSizes unchanged{(smallestOuter_ - frame).expandedTo({0, 0}), std::nullopt};
    if (frame_ == frame)
        return unchanged;
    // A client that is no longer the size set was resized by the user: it stays.
    const bool keepsInitial = first_ || placed_ == client;
    first_ = false;
    frame_ = frame;
    if (!keepsInitial) {
        placed_.reset();
        return unchanged;
    }
    placed_ = (initialOuter_ - frame).expandedTo({0, 0});
    return {unchanged.minimum, placed_};
}
