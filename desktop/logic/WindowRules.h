// Geometry and graying rules of the main window, free of widgets.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <array>

inline constexpr int STATUS_PART_COUNT = 7;
// Parts drawn without a border: a gap after the version, and the rest of the bar.
inline constexpr std::array<bool, STATUS_PART_COUNT> STATUS_PART_BORDERLESS = {
    false, true, false, false, false, false, true};

// The colour of the words drawn in the picture buttons' artwork.
inline constexpr QRgb PICTURE_LABEL_COLOUR = 0x1d2b3c;
// Whether a palette whose window colour is `window` is dark.
bool isDarkWindow(const QColor& window);
// A picture button's artwork for the palette: on a dark one its words, drawn dark, take
// `light` instead (their edges keep their transparency); everything else stays as it is.
QImage pictureForPalette(const QImage& picture, bool dark, const QColor& light);

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
