#pragma once

// The program's own texts, in Slovak, shared by the engine, the windows and ornamo-render. The
// engine reports refusals, read failures and progress as enums (refusal.h, HierarchyFailure in
// hierarchy.h, Excess in ornamo.h, Caption in progress.h); this is the one place they become
// text.

#include "hierarchy.h"
#include "progress.h"
#include "provenance.h"
#include "refusal.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ornamo::messages {

inline constexpr std::string_view busyRendering = "--- Počítam ---";
inline constexpr std::string_view busyShrinking = "---Škálujem---";
inline constexpr std::string_view busySaving = "--- Ukladám ---";
inline constexpr std::string_view busyReading = "--- Čítam ---";
inline constexpr std::string_view emptyStackLower = "-- prázdny --";
inline constexpr std::string_view emptyStackUpper = "-- Prázdny --";

inline constexpr std::string_view stackEmpty = "Príkazový zásobník je prázdny.";
inline constexpr std::string_view stackFull = "Príkazový zásobník je plný.";
inline constexpr std::string_view commandUnusable = "Tento príkaz sa nedá použiť.";
inline constexpr std::string_view mosaicTooLarge = "Mozaika by bola príliš veľká.";
inline constexpr std::string_view notEnoughMemory = "Na túto mozaiku nie je dosť pamäte.";
inline constexpr std::string_view badFormat = "Chybný formát súboru!";
inline constexpr std::string_view zoomPointless = "Myslíš, že to má ešte zmysel?";
inline constexpr std::string_view tooLargeForBmp =
    "Tento obrázok je pre formát BMP príliš veľký (najviac 4 GB). Uložte ho ako PNG.";
inline constexpr std::string_view tileUnusable = "Táto dlaždica sa nedá použiť.";
inline constexpr std::string_view defaultTileMissing =
    "Nemôžem nahrať súbor default.bmp z adresára dlazdice !!!";
inline constexpr std::string_view loadHierarchyQuestion =
    "Načítaním inej hierarchie sa vaša terajšia mozaika zruší. Chcete naozaj pokračovať?";

/// The text of a refusal; empty for Refusal::None.
constexpr std::string_view text(Refusal refusal) {
    switch (refusal) {
    case Refusal::None:
        return {};
    case Refusal::StackEmpty:
        return stackEmpty;
    case Refusal::StackFull:
        return stackFull;
    case Refusal::CommandUnusable:
        return commandUnusable;
    case Refusal::MosaicTooLarge:
        return mosaicTooLarge;
    case Refusal::NotEnoughMemory:
        return notEnoughMemory;
    case Refusal::TileUnusable:
        return tileUnusable;
    case Refusal::ZoomPointless:
        return zoomPointless;
    }
    return {};
}

/// A whole number as the messages write it: groups of three digits apart by a space
/// ("531 441", "-2 147 483 648").
inline std::string groupedNumber(std::int64_t value) {
    // Built from the unsigned magnitude, so that the most negative value has one too, digit by
    // digit from the last.
    std::uint64_t magnitude =
        value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    std::string reversed;
    for (int i = 0; magnitude > 0 || i == 0; ++i, magnitude /= 10) {
        if (i > 0 && i % 3 == 0)
            reversed += ' ';
        reversed += static_cast<char>('0' + magnitude % 10);
    }
    if (value < 0)
        reversed += '-';
    return {reversed.rbegin(), reversed.rend()};
}

/// By how much a result leaves the model, as a sentence: «Mozaika by mala 531 441 dielov;
/// najviac je 65 535.»; empty when it does not.
inline std::string text(const Excess& excess) {
    const std::string value = groupedNumber(excess.value);
    const std::string bound = (excess.value < excess.bound ? "; najmenej je " : "; najviac je ") +
                              groupedNumber(excess.bound);
    switch (excess.limit) {
    case Limit::None:
        return {};
    case Limit::Placements:
        return "Mozaika by mala " + value + " dielov" + bound + ".";
    case Limit::Extent:
        return "Strana mozaiky by mala " + value + " pixelov" + bound + ".";
    case Limit::Coordinate:
        return "Okraj dielu by bol na súradnici " + value + bound + ".";
    case Limit::Enlargement:
        return "Diel by bol zväčšený " + value + "-krát" + bound + "-krát.";
    }
    return {};
}

/// A refusal with all its detail says, for ornamo-render and the rule workshop (the window's
/// message box keeps text(refusal)): the stack entry it names, then the refusal's text and the
/// numbers. `entryName` is the entry's name as shown (the platform decodes its bytes). For
/// example «3. záznam zásobníka od najstaršieho („Pruh“, príkaz 2): Mozaika by bola príliš
/// veľká. Mozaika by mala 531 441 dielov; najviac je 65 535.»
inline std::string detailedText(Refusal refusal, const RefusalDetail& detail,
                                std::string_view entryName = {}) {
    std::string line;
    if (detail.entry) {
        line.append(std::to_string(detail.entry->index + 1))
            .append(". záznam zásobníka od najstaršieho („")
            .append(entryName)
            .append("“, príkaz ")
            .append(std::to_string(detail.entry->command))
            .append("): ");
        if (detail.entry->slotEmpty)
            return line + "v nových pravidlách je tento príkaz prázdny.";
    }
    line += text(refusal);
    if (detail.excess.exceeds())
        line.append(" ").append(text(detail.excess));
    return line;
}

/// The text of a progress caption.
constexpr std::string_view text(Caption caption) {
    switch (caption) {
    case Caption::Rendering:
        return busyRendering;
    case Caption::Shrinking:
        return busyShrinking;
    case Caption::Saving:
        return busySaving;
    case Caption::Reading:
        return busyReading;
    }
    return {};
}

/// A point asked about that lies outside the mosaic: the mosaic's side and how far beyond it.
inline std::string pointOutsideMosaic(std::int64_t side, std::int64_t beyond) {
    return "Bod leží mimo mozaiky: mozaika má " + groupedNumber(side) + " × " +
           groupedNumber(side) + " bodov, bod je o " + groupedNumber(beyond) + " za jej okrajom.";
}

inline std::string openFailed(std::string_view fileName) {
    return "Zlyhalo otvorenie súboru " + std::string(fileName) + " !!!";
}
inline std::string tileLoadFailed(std::string_view path) {
    return "Nemôžem nahrať súbor " + std::string(path) + " !!!";
}
inline std::string saveFailed(std::string_view name) {
    return "Zlyhalo uloženie súboru " + std::string(name) + " !!!";
}
/// After a failed save of several files whose earlier files could not all be put back: which
/// hold the new contents and which are as they were.
inline std::string partlyReplaced(const std::vector<std::string>& replaced,
                                  const std::vector<std::string>& unchanged) {
    const auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names)
            text += (text.empty() ? "" : ", ") + name;
        return text.empty() ? std::string("žiadne") : text;
    };
    return "Nahradené súbory: " + list(replaced) + ". Súbory bez zmeny: " + list(unchanged) + ".";
}

// The work as a document: its file, its history and the question before it is lost.
inline constexpr std::string_view workTitleSuffix = " – Ornamo";
inline constexpr std::string_view unsavedWorkQuestion =
    "Práca má neuložené zmeny. Chcete ich uložiť?";
inline constexpr std::string_view workFileFilter = "Práce Ornamo (*.ornamo)";

/// The text of a failed work file open for the file shown as `fileName`; empty for
/// WorkFileFailure::None.
inline std::string text(WorkFileFailure failure, std::string_view fileName) {
    const std::string name(fileName);
    switch (failure) {
    case WorkFileFailure::None:
        return {};
    case WorkFileFailure::OpenFailed:
        return openFailed(fileName);
    case WorkFileFailure::TooLarge:
        return "Súbor " + name + " je na prácu príliš veľký.";
    case WorkFileFailure::NotAWork:
        return "Súbor " + name + " nie je práca programu Ornamo alebo je poškodený.";
    case WorkFileFailure::NewerVersion:
        return "Súbor " + name + " uložila novšia verzia programu Ornamo.";
    case WorkFileFailure::TileBroken:
        return "Dlaždica v súbore " + name + " je poškodená.";
    case WorkFileFailure::StackMismatch:
        return "Príkazy v súbore " + name + " nedávajú uloženú mozaiku.";
    case WorkFileFailure::NotEnoughMemory:
        return std::string(notEnoughMemory);
    }
    return {};
}

/// The text of a hierarchy read's failure for the file shown as `fileName`; empty for
/// HierarchyFailure::None.
inline std::string text(HierarchyFailure failure, std::string_view fileName) {
    switch (failure) {
    case HierarchyFailure::None:
        return {};
    case HierarchyFailure::BadFormat:
        return std::string(badFormat);
    case HierarchyFailure::OpenFailed:
        return openFailed(fileName);
    }
    return {};
}

// Where a pixel of the mosaic comes from, as the picture's tip shows it while Shift is held.

/// "Stvorec, diel 3 (R90) › Kríž, diel 5 (MR0) — dlaždica otočená R270, bod 12, 7" for a covered
/// point (parts counted from 1, each with its orientation in the rule); for a gap, "Medzera: "
/// and its causes ("Kríž nemá diel v bunke 1, 2", the parts the point lay in after it in
/// parentheses), at most four of them. `names` are the stack entries' names as shown (UTF-8),
/// the oldest first.
inline std::string pointOriginText(const PointOrigin& origin,
                                   const std::vector<std::string>& names) {
    const auto partName = [&](std::size_t entry, std::size_t part) {
        return names[entry] + ", diel " + std::to_string(part + 1);
    };
    if (origin.covered) {
        std::string text;
        for (std::size_t j = 0; j < origin.chain.size(); ++j)
            text += (j ? " › " : "") + partName(j, origin.chain[j].part) + " (" +
                    std::string(keyword(origin.chain[j].cells.orientation)) + ')';
        text += text.empty() ? "Dlaždica otočená " : " — dlaždica otočená ";
        return text + std::string(keyword(origin.orientation)) + ", bod " +
               std::to_string(origin.tileX) + ", " + std::to_string(origin.tileY);
    }
    constexpr std::size_t shownCauses = 4;
    std::string text = "Medzera: ";
    for (std::size_t c = 0; c < origin.gaps.size() && c < shownCauses; ++c) {
        const GapCause& cause = origin.gaps[c];
        text += (c ? "; " : "") + names[cause.entry] + " nemá diel v bunke " +
                std::to_string(cause.column) + ", " + std::to_string(cause.row);
        if (!cause.path.empty()) {
            text += " (";
            // The path runs from the newest entry; the tip reads from the oldest.
            for (std::size_t k = cause.path.size(); k-- > 0;)
                text += partName(names.size() - 1 - k, cause.path[k]) + (k ? " › " : "");
            text += ')';
        }
    }
    if (origin.gaps.size() > shownCauses)
        text += "; …";
    return text;
}

} // namespace ornamo::messages
