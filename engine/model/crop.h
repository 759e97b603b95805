#pragma once

// Cropping a non-square tile to a square, as the user chooses in the crop dialog.

#include "bitmap.h"

namespace ornamo {

/// Which square part of a non-square tile to keep. The dialog's first radio button cuts away
/// the top ("Orezať zhora") or the left side ("Orezať zľava"), the second the bottom ("Orezať
/// zdola") or the right side ("Orezať zprava"), the third keeps the middle ("Nechať stred").
enum class CropChoice { First, Second, Middle };

/// Whether the tile counts as tall, width <= height (a square tile counts as tall).
bool isTall(const Bitmap& tile);

/// Crops the tile in place to a square of side min(W, H). A tall tile (W <= H) keeps W whole
/// rows: First keeps rows H-W .. H-1, Second rows 0 .. W-1, Middle rows d .. d+W-1 with
/// d = (H-W) div 2, so an odd difference cuts one row more from the bottom. A wide tile keeps
/// H whole columns in the same way (First: the right part, Second: the left part, Middle:
/// from column (W-H) div 2). A square tile is unchanged.
void cropToSquare(Bitmap& tile, CropChoice choice);

} // namespace ornamo
