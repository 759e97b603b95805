#pragma once

// The main window's keys, as its menu shows them beside the items and the help window lists
// them. The keys themselves are taken by the window's key handler (FormKeyDown); this table
// only names them, in the menu's order.

#include <array>

/// A menu item and its key: the item's object name, the key as the menu shows it (Qt's
/// portable key text), and what the help window says it does.
struct MenuKey {
    const char* item;
    const char* keys;
    const char* what;
};

inline constexpr std::array<MenuKey, 16> menuKeys{{
    {"OpenImage1", "Ctrl+O", "Súbor/Otvor Bitmapu"},
    {"UloBitmapu1", "Ctrl+S", "Súbor/Ulož Bitmapu"},
    {"Close1", "Ctrl+Q", "Súbor/Koniec"},
    {"OtvorPracu1", "F3", "Súbor/Otvor prácu"},
    {"UlozPracu1", "F2", "Súbor/Ulož prácu"},
    {"UlozPracuAko1", "Shift+F2", "Súbor/Ulož prácu ako"},
    {"Reset1", "Ctrl+Backspace", "Mozaika/Reset"},
    {"Zruposlednoperciu1", "Backspace", "Mozaika/Zruš posledný príkaz"},
    {"Zrusvybrany1", "Del", "Mozaika/Zruš vybraný príkaz"},
    {"Zrupovybranprkaz1", "Shift+Del", "Mozaika/Zruš po vybraný príkaz"},
    {"Zameprkaz1", "Ctrl+U", "Mozaika/Zameň vybraný príkaz"},
    {"Vloprkaz1", "Ctrl+Ins", "Mozaika/Vlož pred vybraný príkaz"},
    {"Spat1", "Ctrl+Z", "Mozaika/Späť"},
    {"Znova1", "Ctrl+Y", "Mozaika/Znova"},
    {"Prisposob1", "Ctrl+F", "Mozaika/Prispôsob oknu"},
    {"Ovldanie1", "F1", "Pomoc/Ovládanie"},
}};

/// Keys without a menu item of their own, for the help window: the keys as written there and
/// what they do.
inline constexpr std::array<std::array<const char*, 2>, 7> otherKeys{{
    {"Num -, Ctrl+-", "Zmenši"},
    {"Num +, Ctrl++", "Zväčši"},
    {"Num *, Ctrl+0", "plná veľkosť"},
    {"Ctrl+Shift+Z", "Znova"},
    {"Ctrl+koliesko", "zväčší okolo ukazovateľa"},
    {"Alt+S, Alt+M, Alt+P", "otvorí menu"},
    {"F10", "menu"},
}};
