#pragma once

// The main window's sizes are outer sizes (frame, caption and menu included), while Qt sizes a
// window without its frame. The frame is known only once the window manager has added it, which
// may come well after the window is shown, and it may change later (another theme). OuterSizeFit
// turns every frame seen into the client sizes that give the outer sizes wanted.

#include <QSize>

#include <optional>

class OuterSizeFit {
public:
    OuterSizeFit(QSize initialOuter, QSize smallestOuter)
        : initialOuter_(initialOuter), smallestOuter_(smallestOuter) {}

    struct ClientSizes {
        QSize minimum;               ///< the client's least size
        std::optional<QSize> resize; ///< the client's size to set, when it is to change
    };

    /// Called whenever the frame may have changed, with `frame` the outer size less the client
    /// size as it is now and `client` the client size. Until the user has resized the window,
    /// every new frame brings the client to the initial outer size less that frame; afterwards
    /// the client keeps its size. The least size follows every frame.
    ClientSizes frameSeen(QSize frame, QSize client);

private:
    QSize initialOuter_;
    QSize smallestOuter_;
    std::optional<QSize> frame_;  // the frame last fitted to
    std::optional<QSize> placed_; // the client size set, while the user has not resized since
    bool first_ = true;
};
