// CWaitDialog: the progress dialog of long operations (sorting, pasting,
// exporting, reading storage memory, preparing a graph). It mirrors a
// WaitDialogState: the title by string id, the bar over the range, the
// message line and the percent label, with a Cancel button. While it exists
// its owner window is disabled, so the user can only watch or cancel.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <QPointer>

#include "app/records/wait_progress.h"

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace qd40::ui {

// An operation that starts another one under it (a re-sort while reading)
// creates the dialog again: the inner one shows until it is destroyed, then
// the outer one comes back as it was.
class CWaitDialog : public records::WaitDialogState {
public:
    // owner (may be null) is disabled from create() to destroy().
    explicit CWaitDialog(QWidget* owner);
    ~CWaitDialog() override;
    CWaitDialog(const CWaitDialog&) = delete;
    CWaitDialog& operator=(const CWaitDialog&) = delete;

    void create(int titleId) override;
    void setRange(int64_t low, int64_t high) override;
    void setPos(int64_t pos) override;
    void setStep(int64_t step) override;
    void setMessage(const std::string& text) override;
    void destroy() override;

    // The dialog while it is shown, else null.
    QDialog* widget() const { return dialog_.get(); }
    QLabel* percentLabel() const { return percent_; }
    QLabel* messageLabel() const { return message_; }
    QProgressBar* bar() const { return bar_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void pumpEvents() override;
    void percentTextChanged() override;

private:
    struct Shown {
        int titleId;
        int64_t low, high, step, pos;
        std::string message;
    };
    void build(int titleId);
    void close();
    void updateBar();

    std::vector<Shown> outer_;
    int64_t step_ = 10;

    QPointer<QWidget> owner_;
    std::unique_ptr<QDialog> dialog_;
    QLabel* message_ = nullptr;
    QLabel* percent_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool ownerDisabled_ = false;
};

}  // namespace qd40::ui
