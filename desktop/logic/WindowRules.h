// Geometry and graying rules of the main window, free of widgets.
#pragma once

#include <QString>

#include <array>

inline constexpr int STATUS_PART_COUNT = 7;
// Parts drawn without a border: a gap after the version, and the rest of the bar.
inline constexpr std::array<bool, STATUS_PART_COUNT> STATUS_PART_BORDERLESS = {
    false, true, false, false, false, false, true};

// Whether a shortcut-menu request at client height `clientY` shows the menu: not in the
// picture buttons' band, whose last row is `bandBottom`.
bool showsShortcutMenuAt(int clientY, int bandBottom);

// Which shortcut-menu items are enabled.
struct ShortcutMenuState {
    bool remove = true;
    bool addFile = true;
    bool internetAddress = true;
    bool edit = true;      // both items of the Edit submenu
    bool open = true;      // both items of the Open submenu
    bool packPage = true;
};
// While pages are packed, nothing that changes the list or starts a run is offered.
ShortcutMenuState shortcutMenuState(bool rowSelected, bool firstSelectedIsInternet,
                                    bool packing = false);

// Whether `command` may run while pages are packed: commands that change the list, open
// another project or start a second run are refused, the rest act at once.
bool allowedWhilePacking(int command);
