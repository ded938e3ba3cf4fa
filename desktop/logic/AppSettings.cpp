#include "AppSettings.h"

#include "PlatformDefaults.h"
#include "SettingsStore.h"

namespace {

// Sections and value names as the store keeps them; the order is the loading order.
constexpr std::array<SettingDefinition, 15> kSettings = {{
    {SettingId::Input, "Directories", "Input", true, 0, "."},
    {SettingId::Output, "Directories", "Output", true, 0, nullptr},
    {SettingId::PackMethod, "Settings", "PackMethod", false, 1, nullptr},
    {SettingId::Editor, "Settings", "Editor", true, 0, nullptr},
    {SettingId::ConfirmWrite, "Settings", "ConfirmWrite", false, 1, nullptr},
    {SettingId::OptimumPack, "Settings", "OptimumPack", false, 1, nullptr},
    {SettingId::NoMeta, "Settings", "NoMeta", false, 0, nullptr},
    {SettingId::NoComments, "Settings", "NoComments", false, 1, nullptr},
    {SettingId::GenKeywords, "Settings", "GenKeywords", false, 0, nullptr},
    {SettingId::Startup, "Tip", "Startup", false, 1, nullptr},
    {SettingId::NoJScript, "Settings", "NoJScript", false, 0, nullptr},
    {SettingId::MaxTokens, "Settings", "MaxTokens", false, 127, nullptr},
    {SettingId::DecompOutputSize, "Settings", "DecompOutputSize", false, 400, nullptr},
    {SettingId::CreateDirectories, "Directories", "CreateDirectories", false, 1, nullptr},
    {SettingId::Served, "Settings", "Served", true, 0, "raw"},
}};

// The order in which a confirmed sheet writes; MaxTokens is left out on purpose, so a value
// entered in the sheet lasts until the program ends.
constexpr SettingId kWriteOrder[] = {
    SettingId::Input, SettingId::Output, SettingId::CreateDirectories, SettingId::PackMethod,
    SettingId::Editor,
    SettingId::ConfirmWrite, SettingId::OptimumPack, SettingId::NoMeta, SettingId::GenKeywords,
    SettingId::NoJScript, SettingId::Startup, SettingId::NoComments, SettingId::DecompOutputSize,
    SettingId::Served,
};

const SettingDefinition& definitionOf(SettingId id)
{
    for (const SettingDefinition& definition : kSettings) {
        if (definition.id == id)
            return definition;
    }
    Q_UNREACHABLE();
}

// Puts a loaded value into the member that holds it.
void assignSetting(AppSettings& settings, SettingId id, const QVariant& value)
{
    switch (id) {
    case SettingId::Input: settings.directories.inputFolder = value.toString(); break;
    case SettingId::Output: settings.directories.outputFolder = value.toString(); break;
    case SettingId::PackMethod: settings.packMethod = value.toInt(); break;
    case SettingId::Editor: settings.general.editor = value.toString(); break;
    case SettingId::ConfirmWrite: settings.directories.overwriteWarning = value.toInt(); break;
    case SettingId::OptimumPack: settings.compression.optimumPack = value.toInt(); break;
    case SettingId::NoMeta: settings.compression.noMeta = value.toInt(); break;
    case SettingId::NoComments: settings.compression.noComments = value.toInt(); break;
    case SettingId::GenKeywords: settings.general.genKeywords = value.toInt(); break;
    case SettingId::Startup: settings.general.noStartupTips = value.toInt(); break;
    case SettingId::NoJScript: settings.compression.noJScript = value.toInt(); break;
    case SettingId::MaxTokens: settings.compression.maxTokens = value.toInt(); break;
    case SettingId::DecompOutputSize:
        settings.compression.decompOutputSize = static_cast<unsigned>(value.toInt());
        break;
    case SettingId::Served: {
        const QString served = value.toString();
        settings.compression.served = served == QLatin1String("gzip") || served == QLatin1String("br")
                                          ? served
                                          : QStringLiteral("raw");
        break;
    }
    case SettingId::CreateDirectories:
        settings.directories.createDirectories = value.toInt();
        break;
    }
}

// The member's value as it is written to the store.
QVariant valueOf(const AppSettings& settings, SettingId id)
{
    switch (id) {
    case SettingId::Input: return settings.directories.inputFolder;
    case SettingId::Output: return settings.directories.outputFolder;
    case SettingId::PackMethod: return settings.packMethod;
    case SettingId::Editor: return settings.general.editor;
    case SettingId::ConfirmWrite: return settings.directories.overwriteWarning;
    case SettingId::OptimumPack: return settings.compression.optimumPack;
    case SettingId::NoMeta: return settings.compression.noMeta;
    case SettingId::NoComments: return settings.compression.noComments;
    case SettingId::GenKeywords: return settings.general.genKeywords;
    case SettingId::Startup: return settings.general.noStartupTips;
    case SettingId::NoJScript: return settings.compression.noJScript;
    case SettingId::MaxTokens: return settings.compression.maxTokens;
    case SettingId::DecompOutputSize:
        return static_cast<int>(settings.compression.decompOutputSize);
    case SettingId::CreateDirectories: return settings.directories.createDirectories;
    case SettingId::Served: return settings.compression.served;
    }
    Q_UNREACHABLE();
}

} // namespace

const std::array<SettingDefinition, 15>& settingDefinitions()
{
    return kSettings;
}

TextDefaults platformTextDefaults()
{
    return {defaultOutputFolder(), defaultEditor()};
}

AppSettings loadSettings(const SettingsStore& store, const TextDefaults& defaults)
{
    AppSettings settings;
    for (const SettingDefinition& definition : kSettings) {
        const QString section = QString::fromLatin1(definition.section);
        const QString key = QString::fromLatin1(definition.key);
        if (definition.isText) {
            QString fallback = definition.defaultText ? QString::fromLatin1(definition.defaultText)
                             : definition.id == SettingId::Output ? defaults.outputFolder
                                                                  : defaults.editor;
            assignSetting(settings, definition.id, store.getProfileString(section, key, fallback));
        } else {
            assignSetting(settings, definition.id,
                          store.getProfileInt(section, key, definition.defaultNumber));
        }
    }
    if (settings.packMethod >= 1 && settings.packMethod <= 3)
        settings.compression.radioStates[settings.packMethod - 1] = 1;
    return settings;
}

void applyChosenPackMethod(AppSettings& settings)
{
    for (int button = 0; button < 3; ++button) {
        if (settings.compression.radioStates[button] == 0) {
            settings.packMethod = button + 1;
            return;
        }
    }
}

QList<SettingWrite> settingsWrites(const AppSettings& settings)
{
    QList<SettingWrite> writes;
    for (SettingId id : kWriteOrder) {
        const SettingDefinition& definition = definitionOf(id);
        writes.append({QString::fromLatin1(definition.section),
                       QString::fromLatin1(definition.key), valueOf(settings, id)});
    }
    return writes;
}

void saveSettings(SettingsStore& store, AppSettings& settings)
{
    applyChosenPackMethod(settings);
    for (const SettingWrite& write : settingsWrites(settings)) {
        if (write.value.typeId() == QMetaType::QString)
            store.writeProfileString(write.section, write.key, write.value.toString());
        else
            store.writeProfileInt(write.section, write.key, write.value.toInt());
    }
}
