#include "WindowRules.h"

#include "Commands.h"

#include <algorithm>

MainLayout layoutForClientSize(int cx, int cy, const std::array<int, 4>& leadingColumns)
{
    const int w = std::max(cx, LAYOUT_MINIMUM_WIDTH);
    MainLayout layout;
    layout.pageList = QRect(1, 50, w, cy - 70);
    layout.separator = QRect(1, 1, w, 2);
    layout.supportButton = QRect(w - 50, 2, 48, 48);
    int leading = 0;
    for (int width : leadingColumns)
        leading += width;
    layout.outputColumnWidth = std::max(w - leading - 4, OUTPUT_COLUMN_MINIMUM);
    return layout;
}

bool showsShortcutMenuAt(int clientY)
{
    return clientY > SHORTCUT_MENU_BAND;
}

ShortcutMenuState shortcutMenuState(bool rowSelected, bool firstSelectedIsInternet,
                                    bool packing)
{
    ShortcutMenuState state;
    if (!rowSelected) {
        state.packPage = state.remove = state.edit = state.open = false;
    } else {
        state.internetAddress = firstSelectedIsInternet;
        state.addFile = false;
    }
    if (packing)
        state.packPage = state.remove = state.addFile = state.internetAddress = false;
    return state;
}

bool allowedWhilePacking(int command)
{
    switch (command) {
    case CMD_ADD_FILES:
    case CMD_ADD_BUTTON:
    case CMD_REMOVE:
    case CMD_INTERNET_ADDRESS:
    case CMD_IMPORT_TREE:
    case CMD_PACK:
    case CMD_PACK_BUTTON:
    case CMD_PACK_PAGE:
    case CMD_NEW:
    case CMD_OPEN:
    case CMD_OPEN_BUTTON:
        return false;
    default:
        return true;
    }
}
