#include "WindowRules.h"

#include "Commands.h"

bool showsShortcutMenuAt(int clientY, int bandBottom)
{
    return clientY > bandBottom;
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
