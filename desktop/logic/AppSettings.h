// The fourteen settings of the desktop program: their table, loading and saving.
//
// The values are held as the property pages hold them (one record per page) plus the
// program-wide pack method; the Properties sheet edits the records in place.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <array>

class SettingsStore;

// Values of the Directories page.
struct DirectorySettings {
    QString outputFolder;       // where packed pages are written
    QString inputFolder;        // current directory when the main window opens
    int overwriteWarning = 0;   // ask before replacing an existing output file
    int createDirectories = 1;  // make a missing output folder when a run starts
};

// Values of the Compression page.
struct CompressionSettings {
    // Per pack-method button ("Best packing method", "JavaScript Only", "No JavaScript"):
    // 1 selected by the stored method, 0 checked when the page was last left, -1 not selected.
    std::array<int, 3> radioStates{-1, -1, -1};
    int noJScript = 0;            // stored and shown only
    int noMeta = 0;               // the engine drops META tags
    int optimumPack = 0;          // stored and shown only
    int noComments = 0;           // the engine drops comments
    unsigned decompOutputSize = 0;  // the decoder's output chunk
    int maxTokens = 0;            // the engine's code character limit; never written back
    // With both methods, the one smaller as the server sends it is kept: "raw" (as it is),
    // "gzip" or "br"; an old store without it, or an unknown value, means "raw".
    QString served = QStringLiteral("raw");
};

// Values of the General page.
struct GeneralSettings {
    QString editor;          // program started by the Edit commands
    int genKeywords = 0;     // not shown; kept in the store as it was
    int noStartupTips = 0;   // 1: no tip dialog at start-up ("Tip"/"Startup")
};

struct AppSettings {
    DirectorySettings directories;
    CompressionSettings compression;
    GeneralSettings general;
    int packMethod = 1;  // 1 best packing method, 2 JavaScript only, 3 no JavaScript
};

enum class SettingId {
    Input, Output, PackMethod, Editor, ConfirmWrite, OptimumPack, NoMeta, NoComments,
    GenKeywords, Startup, NoJScript, MaxTokens, DecompOutputSize, CreateDirectories, Served
};

// Where one setting lives in the store and what it holds when absent.
struct SettingDefinition {
    SettingId id;
    const char* section;
    const char* key;
    bool isText;
    int defaultNumber;        // for integer settings
    const char* defaultText;  // for text settings; null when the platform decides
};

// The settings in the order they are loaded.
const std::array<SettingDefinition, 15>& settingDefinitions();

// Text defaults that depend on the platform.
struct TextDefaults {
    QString outputFolder;
    QString editor;
};
TextDefaults platformTextDefaults();

// Reads all the settings; the stored pack method marks its radio state 1.
AppSettings loadSettings(const SettingsStore& store,
                         const TextDefaults& defaults = platformTextDefaults());

// One value to be written to the store.
struct SettingWrite {
    QString section;
    QString key;
    QVariant value;  // int or QString
    bool operator==(const SettingWrite&) const = default;
};

// Takes the pack method from the first radio state that is 0 (checked when its page was
// left); keeps the current method when there is none.
void applyChosenPackMethod(AppSettings& settings);

// The writes of a confirmed Properties sheet, in order; MaxTokens is not among them.
QList<SettingWrite> settingsWrites(const AppSettings& settings);

// Applies the chosen pack method and writes the settings to the store.
void saveSettings(SettingsStore& store, AppSettings& settings);
