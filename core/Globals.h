#pragma once

// The application's global state, all in one place. Each value is created once
// and lives until the process ends.

namespace kestrun {

class TaskDocument;
class CRegSettings;
class CSysTray;

/// The one in-memory task document, created by the main window's load handler.
inline TaskDocument* gTaskDocument = nullptr;

/// True while the in-memory document holds changes not yet written to disk.
/// Set by the commands after each change, cleared only by a successful save.
inline bool gDocumentDirty = false;

/// True while the task editor edits an existing task (rather than a new one).
inline bool gEditingTask = false;

/// The per-user settings store.
inline CRegSettings* gSettings = nullptr;

/// The notification-area icon.
inline CSysTray* gTray = nullptr;

}  // namespace kestrun
