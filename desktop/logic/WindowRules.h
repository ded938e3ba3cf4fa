// Geometry and graying rules of the main window, free of widgets.
#pragma once

#include <QRect>
#include <QString>

#include <array>

// Text of the status bar's first part (two blanks before the date).
inline constexpr char STATUS_VERSION_TEXT[] = "Quillbox 1.0a  Mar 21 1999";
inline constexpr int STATUS_PART_COUNT = 7;
// Right edge of each status bar part in pixels; -1 reaches the window edge.
inline constexpr std::array<int, STATUS_PART_COUNT> STATUS_PART_EDGES = {120, 255, 260, 350,
                                                                         460, 580, -1};
// Parts drawn without a border.
inline constexpr std::array<bool, STATUS_PART_COUNT> STATUS_PART_BORDERLESS = {
    false, true, false, false, false, false, true};

// Narrowest width the layout works with; a narrower window cuts the list off.
inline constexpr int LAYOUT_MINIMUM_WIDTH = 580;
// Narrowest Output Name column the layout leaves.
inline constexpr int OUTPUT_COLUMN_MINIMUM = 40;
// Client rows from the top (the picture buttons' band) where no shortcut menu appears.
inline constexpr int SHORTCUT_MENU_BAND = 69;

// Where the resizable controls go for a client area of cx by cy pixels.
struct MainLayout {
    QRect pageList;
    QRect separator;
    QRect supportButton;
    int outputColumnWidth = 0;
};
// `leadingColumns` are the widths of the first four list columns.
MainLayout layoutForClientSize(int cx, int cy, const std::array<int, 4>& leadingColumns);

// Whether a shortcut-menu request at client height `clientY` shows the menu.
bool showsShortcutMenuAt(int clientY);

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
