// The Qt form of the application's questions: message boxes captioned with
// the application name, the three-choice dialog and the communication
// parameters dialog.
#pragma once
#include <memory>
#include <string>

#include <QMessageBox>
#include <QPointer>

#include "app/core/app_ports.h"

namespace qd40::ui {

// A message box as the application shows it (not shown yet): the caption,
// the icon rule and the default button.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const std::string& caption,
                                            const std::string& text, app::Buttons buttons,
                                            app::Icon icon, int defaultButton = 0);

class QtPrompter : public app::AppPrompter {
public:
    explicit QtPrompter(std::string caption) : caption_(std::move(caption)) {}
    // The window the dialogs are shown over (may be null).
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    app::Answer message(const std::string& text, app::Buttons buttons, app::Icon icon,
                        int defaultButton = 0) override;
    std::optional<int> threeChoices(const std::string& title, const std::string& text,
                                    const std::array<std::string, 3>& buttons) override;
    bool editCommParams(ctl::CtlConnection& params) override;
    void beep() override;

private:
    std::string caption_;
    QPointer<QWidget> parent_;
};

}  // namespace qd40::ui
