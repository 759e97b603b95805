#pragma once

// The tooltips of the command buttons and of the entries of the stack list: the command's name,
// grid size and part count over a small picture of the rule.

#include "bitmap.h"
#include "ornamo.h"

#include <QString>

#include <string>

/// Rich text: the command's name (the file's bytes, shown as the buttons show them), "Mriežka
/// N × N, K častí" and the rule picture (rulePicture) of `pattern` drawn with `tile` on
/// `gapColor`, embedded as a PNG data URL. Without a picture (a pattern that cannot be drawn)
/// the text alone.
QString ruleToolTip(const std::string& name, const ornamo::Mosaic& pattern,
                    const ornamo::Bitmap& tile, ornamo::Color gapColor);
