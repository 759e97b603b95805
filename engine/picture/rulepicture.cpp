#include "rulepicture.h"

#include "render.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace ornamo {

Bitmap rulePicture(const Mosaic& pattern, const Bitmap& tile, Color gapColor, int largestSide) {
    const int grid = pattern.scale;
    const int side = tile.width();
    if (pattern.placements.empty() || grid == 0 || grid > largestSide || side == 0 ||
        tile.height() != side)
        return {};

    // The least factor k with grid x (side div k) <= largestSide; a cell keeps one pixel.
    int factor = 1;
    while (factor < side && grid * (side / factor) > largestSide)
        ++factor;
    Bitmap cellTile = tile;
    if (factor > 1)
        ShrinkBitmap(static_cast<std::uint16_t>(factor), static_cast<std::uint16_t>(factor), tile,
                     cellTile);
    const int cell = cellTile.width();

    Mosaic mosaic;
    mosaic.gapColor = gapColor;
    mosaic.tileSize = static_cast<std::uint16_t>(cell);
    mosaic.tiles = std::make_shared<TileSet>();
    BuildTileSet(*mosaic.tiles, cellTile);
    mosaic.placements = {Placement{}};
    if (!substitutionFits(pattern, mosaic))
        return {};
    SubstituteCommand(pattern, mosaic);
    Bitmap rendered;
    renderMosaic(mosaic, rendered);

    // Which part each cell belongs to (-1: a gap); the parts are the placements, in order.
    std::vector<int> owner(static_cast<std::size_t>(grid) * grid, -1);
    auto ownerAt = [&](int column, int row) {
        return owner[static_cast<std::size_t>(row) * grid + column];
    };
    for (std::size_t part = 0; part < mosaic.placements.size(); ++part) {
        const Placement& p = mosaic.placements[part];
        const int left = p.x / cell, top = p.y / cell;
        for (int row = std::max(top, 0); row < std::min(top + p.height, grid); ++row)
            for (int column = std::max(left, 0); column < std::min(left + p.width, grid); ++column)
                owner[static_cast<std::size_t>(row) * grid + column] = static_cast<int>(part);
    }

    Bitmap picture(grid * cell + 1, grid * cell + 1, ruleGridColor);
    picture.draw(rendered, 0, 0);
    auto separates = [&](int a, int b) { return a != b || a < 0; };
    for (int row = 0; row < grid; ++row)
        for (int column = 0; column <= grid; ++column)
            if (column == 0 || column == grid ||
                separates(ownerAt(column - 1, row), ownerAt(column, row)))
                picture.fillRect(column * cell, row * cell, 1, cell + 1, ruleGridColor);
    for (int column = 0; column < grid; ++column)
        for (int row = 0; row <= grid; ++row)
            if (row == 0 || row == grid ||
                separates(ownerAt(column, row - 1), ownerAt(column, row)))
                picture.fillRect(column * cell, row * cell, cell + 1, 1, ruleGridColor);
    return picture;
}

} // namespace ornamo
