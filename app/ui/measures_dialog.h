// CVisMesDialog: the measurements display over its presenter. A timer at the
// chosen period calls the presenter's tick() while scanning; the channels to
// scan are chosen in a tree of the document's modules.
#pragma once
#include <QDialog>
#include <QPointer>

#include "app/core/live/measures_presenter.h"
#include "app/ui/curves_dialog.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;

namespace qd40::ui {

// The "Editing a Line" dialog as the presenter asks it.
app::live::MeasuresPresenter::LineEditor lineEditorDialog(QWidget* parent);

// "Channels to scan Selection": every module item with its 30 channels, those
// scanned checked. Applies the choice to the presenter on OK.
class CChansScanDialog : public QDialog {
public:
    CChansScanDialog(app::live::MeasuresPresenter& presenter, const app::CTavikDoc& doc,
                     QWidget* parent = nullptr);
    void accept() override;
    void checkAll(bool checked);

private:
    app::live::MeasuresPresenter& presenter_;
    QTreeWidget* tree_;
};

class CVisMesDialog : public QDialog {
public:
    // The presenter and the document outlive the dialog.
    CVisMesDialog(app::live::MeasuresPresenter& presenter, const app::CTavikDoc& doc,
                  QWidget* parent = nullptr);
    QTimer* timer() const { return timer_; }
    // The curves dialog, once "Curves" opened it.
    CVisCrbDialog* curves() const { return curves_; }
    // Shows the presenter's lines, buttons and indicator.
    void showState();

private:
    void startStop();
    void tick();
    void chooseChannels();
    void showCurves();

    app::live::MeasuresPresenter& presenter_;
    const app::CTavikDoc& doc_;
    QRadioButton* oneShot_;
    QRadioButton* continuous_;
    QComboBox* period_;
    QTreeWidget* list_;
    QPushButton* startStop_;
    QPushButton* recording_;
    QLabel* indicator_;
    QLabel* error_;
    QTimer* timer_;
    QPointer<CVisCrbDialog> curves_;
};

}  // namespace qd40::ui
