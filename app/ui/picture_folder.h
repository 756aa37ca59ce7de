// Pictures of windows for tools/screenshots: one PNG a picture in a folder,
// its path printed on the standard output; a picture that cannot be written
// is said on the standard error and remembered.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <QImage>

#include "app/core/app_ports.h"

class QWidget;

namespace qd40::ui {

// The widget as drawn, under a plain caption bar with its window title (the
// offscreen platform draws no window decorations).
QImage withCaption(QWidget& widget);

class PictureFolder {
public:
    // Files are named prefix + name + suffix + ".png"; program names the
    // writer in its messages.
    PictureFolder(std::filesystem::path folder, std::string program, std::string prefix = {},
                  std::string suffix = {});
    bool save(const QImage& image, const std::string& name);
    // Shows the widget, takes its picture (under its caption when asked)
    // and hides it again.
    bool take(QWidget& widget, const std::string& name, bool caption = false);
    bool ok() const { return ok_; }

private:
    std::filesystem::path folder_;
    std::string program_, prefix_, suffix_;
    bool ok_ = true;
};

// Every right, no audit trail: the pictures change nothing that is recorded.
class PictureSession : public app::Session {
public:
    uint32_t rightsWord() const override { return 0xFFFFFFFFu; }
    bool securityOffOrConnected() const override { return true; }
    bool isOverwritingAllowed() const override { return false; }
    void audit(security::AuditEvent, const std::vector<std::string>&) override {}
};

}  // namespace qd40::ui
