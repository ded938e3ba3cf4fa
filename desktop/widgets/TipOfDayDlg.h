// The tip of the day: one line of "tips.txt" under a light bulb, with Next Tip and Close.
//
// Constructing the dialog reads the file and the "Tip" settings; destroying it saves where the
// next showing starts, whether or not it was shown. Close saves the start-up choice of its check
// box; leaving with Escape does not.
#pragma once

#include "TipFile.h"

#include <QDialog>

class Asker;
class QCheckBox;
class QLabel;
class QPushButton;
class SettingsStore;

class TipOfDayDlg : public QDialog {
    Q_OBJECT

public:
    explicit TipOfDayDlg(SettingsStore& store, Asker& asker,
                         const QStringList& tipsLocations = TipFile::defaultLocations(),
                         QWidget* parent = nullptr);

    // True when the settings ask for the dialog at start-up.
    bool showAtStartUp() const { return tips_.showAtStartUp(); }

    // The start-up step: builds the dialog, runs it when the settings ask for it, and lets it
    // save the position of the next tip in either case.
    static void offerAtStartUp(SettingsStore& store, Asker& asker,
                               const QStringList& tipsLocations = TipFile::defaultLocations());

public slots:
    void accept() override;

private slots:
    void showNextTip();

private:
    // Puts the tip text and the stored start-up flag into the controls, when the dialog opens.
    void showValues();

    TipFile tips_;
    QLabel* tipLabel_;
    QCheckBox* startUpBox_;
    QPushButton* nextButton_;
};
