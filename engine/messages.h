#pragma once

// The program's own texts, in Slovak, shared by the engine, the windows and ornamo-render.

#include <string>
#include <string_view>

namespace ornamo::messages {

inline constexpr std::string_view busyRendering = "--- Počítam ---";
inline constexpr std::string_view busyShrinking = "---Škálujem---";
inline constexpr std::string_view busySaving = "--- Ukladám ---";
inline constexpr std::string_view emptyStackLower = "-- prázdny --";
inline constexpr std::string_view emptyStackUpper = "-- Prázdny --";
inline constexpr std::string_view emptySlotName = "--";

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

inline std::string openFailed(std::string_view fileName) {
    return "Zlyhalo otvorenie súboru " + std::string(fileName) + " !!!";
}
inline std::string tileLoadFailed(std::string_view path) {
    return "Nemôžem nahrať súbor " + std::string(path) + " !!!";
}
inline std::string saveFailed(std::string_view name) {
    return "Zlyhalo uloženie súboru " + std::string(name) + " !!!";
}

} // namespace ornamo::messages
