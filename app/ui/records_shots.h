// Pictures of the records windows for tools/screenshots: the explorer on the
// demonstration block, the block properties, the export dialogs, the print
// preview, the progress dialog and the memory reading dialog.
#pragma once
#include <functional>
#include <string>

#include <QWidget>

#include "app/ui/records_commands.h"

namespace qd40::ui {

// save(widget, file name) takes one picture; false when one failed.
bool recordsScreenshots(MainFrame& frame, RecordsFrameCommands& commands,
                        const std::function<bool(QWidget&, const std::string&)>& save);

}  // namespace qd40::ui
