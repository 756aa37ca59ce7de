// The rules of the document windows that are not a module operation:
// opening, saving (with the proposed name and the overwrite protection),
// closing a window and closing the last window of a modified document, and
// the title a window shows.
#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "app/core/app_ports.h"
#include "app/core/tavik_doc.h"

namespace qd40::app::views {

// Reads the document at path; on failure says why and gives null. Opening
// also needs the right to open documents (refused silently).
std::unique_ptr<CTavikDoc> openDocument(const std::filesystem::path& path,
                                        const CTavikDoc::ControlFactory& factory, Session& session,
                                        AppPrompter& prompter);

// The name proposed by Save As: the title without its extension, cut at the
// first blank, "#", "%", ";", "/" or "\", with the document extension.
std::string proposedSaveName(const std::string& title);
// Whether the document may be written at path: an existing file is refused
// (messages 235 and 386) when the security setting forbids overwriting.
bool mayWriteTo(const std::filesystem::path& path, const Session& session, AppPrompter& prompter);
// Saves doc at path and records SAVE_DOC; a failure is shown and gives false.
bool saveDocument(CTavikDoc& doc, const std::filesystem::path& path, Session& session,
                  AppPrompter& prompter);

// Closing a window of a document needs the right to close windows.
bool mayCloseWindow(const Session& session);

enum class LastWindowClose { Refuse, Close, SaveThenClose };
// Closing the last window of doc: a modified document is saved first when
// the user says so, and cannot be left unsaved without the right to close
// unsaved documents (message 423).
LastWindowClose closeLastWindow(const CTavikDoc& doc, const Session& session,
                                AppPrompter& prompter);

// The title of window `number` of the `count` windows showing doc: its
// title, then ":" and the number when it has several windows, then "*" when
// it is modified.
std::string documentWindowTitle(const CTavikDoc& doc, int number = 1, int count = 1);

}  // namespace qd40::app::views
