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

bool isDarkWindow(const QColor& window)
{
    return window.lightness() < 128;
}

QImage pictureForPalette(const QImage& picture, bool dark, const QColor& light)
{
    if (!dark)
        return picture;
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb label = PICTURE_LABEL_COLOUR;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == label && qAlpha(line[x]) > 0)
                line[x] = qRgba(light.red(), light.green(), light.blue(), qAlpha(line[x]));
        }
    }
    return image;
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
