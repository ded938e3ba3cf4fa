// Command identifiers of the desktop program, shared by menu items, picture buttons and keys.
#pragma once

enum CommandId {
    CMD_ABOUT = 100,
    CMD_SHOW_TIP = 111,
    CMD_ADD_FILES = 1005,
    CMD_PACK_BUTTON = 1006,
    CMD_ADD_BUTTON = 1007,
    CMD_REMOVE = 1020,
    CMD_VIEW_BUTTON = 1052,
    CMD_SUPPORT = 1071,
    CMD_SAVE_AS = 32774,
    CMD_OPEN = 32775,
    CMD_OPEN_PACKED = 32777,
    CMD_PROPERTIES = 32778,
    CMD_EDIT_ORIGINAL = 32787,
    CMD_EDIT_PACKED = 32788,
    CMD_PACK = 32789,
    CMD_OPEN_ORIGINAL = 32792,
    CMD_INTERNET_ADDRESS = 32799,
    CMD_IMPORT_TREE = 32800,
    CMD_PACK_PAGE = 32801,
    CMD_NEW = 57600,
    CMD_OPEN_BUTTON = 57601,
    CMD_SAVE = 57603,
    CMD_EXIT = 57665,
    CMD_HELP_INDEX = 57668,
    CMD_STOP = 57700,  // stops a packing run
};
