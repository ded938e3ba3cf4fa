// The Properties sheet "Quillbox Properties": the Directories, Compression and General pages.
//
// The pages edit a copy of the settings: a page's values are taken into it whenever the user
// leaves it for another page, and for the page on show when OK is pressed; a field that fails
// its check keeps the page on show. OK hands the copy back to the caller's settings; Cancel
// drops it, so every page is as it was before the sheet opened. Nothing is written to the
// store here: the caller saves on OK.
#pragma once

#include "AppSettings.h"

#include <QDialog>

#include <array>

class Asker;
class PropPage;
struct PageFieldFailure;
class QTabWidget;

class PropertiesSheet : public QDialog {
    Q_OBJECT

public:
    PropertiesSheet(AppSettings& settings, Asker& asker, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    PropPage* page(int index) const { return pages_.at(index); }

    // OK: takes the values of the page on show and, when they pass, hands the edited settings
    // back and closes the sheet.
    void accept() override;

private:
    // Runs when the user picks another tab: takes the left page's values or returns to it.
    void switchPage(int index);
    // Shows why a field was refused and puts the focus on it with its text selected.
    void reportFailure(const PageFieldFailure& failure);

    Asker& asker_;
    AppSettings& settings_;  // the caller's, changed only by OK
    AppSettings edited_;     // what the pages show and take
    QTabWidget* tabs_;
    std::array<PropPage*, 3> pages_{};
    int shownPage_ = 0;
};
