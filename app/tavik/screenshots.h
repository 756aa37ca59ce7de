// Pictures of the main window and of the application's dialogs, taken from
// inside the program (no display needed with the offscreen platform), for
// the documentation and for checking the layouts by eye.
#pragma once
#include <filesystem>

#include "app/ui/main_frame.h"

namespace qd40::tavik {

// Saves main.png and one PNG per dialog into folder; false (after saying
// which on stderr) when a picture could not be written.
bool takeScreenshots(ui::MainFrame& frame, const std::string& caption,
                     const std::filesystem::path& folder);

}  // namespace qd40::tavik
