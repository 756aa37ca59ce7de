// CStatusDialog: the module's status word, its memory blocks and the module
// commands, over the status presenter.
#pragma once
#include <array>
#include <functional>

#include <QDialog>

#include "app/core/live/status_presenter.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace qd40::ui {

class CStatusDialog : public QDialog {
public:
    // The presenter outlives the dialog.
    explicit CStatusDialog(app::live::StatusPresenter& presenter, QWidget* parent = nullptr);
    // Shows what the presenter read.
    void showStatus();
    // "See": opens the abnormal events list (set by whoever shows the dialog).
    std::function<void()> seeEvents;

private:
    using Command = app::live::StatusPresenter::Command;
    struct BlockRow {
        QCheckBox* recording;
        QCheckBox* closed;
        QCheckBox* full;
        QLabel* available;
    };
    QPushButton* commandButton(Command command, int textId, const char* name);

    app::live::StatusPresenter& presenter_;
    std::array<QCheckBox*, app::live::StatusPresenter::kBits> bits_{};
    std::array<BlockRow, app::live::StatusPresenter::kBlocks> blocks_{};
};

}  // namespace qd40::ui
