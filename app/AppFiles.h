#pragma once

#include "document/DocumentError.h"

#include <filesystem>
#include <optional>

namespace kestrun {

/// The folders in which Kestrun looks for its files when it starts.
struct StartFolders {
    /// The executable's folder.
    std::filesystem::path programFolder;
    /// The shared files of an installed copy: the example document, the
    /// schema and the keystroke help page ("share/kestrun").
    std::filesystem::path sharedFolder;
    /// The user's folder for application data.
    std::filesystem::path dataFolder;
    /// The example document's name among the shared files: another name
    /// than the document's where the shared files lie beside the executable
    /// (Windows), as the document there makes a portable copy.
    std::filesystem::path exampleName = "Kestrun.xml";
};

/// Where this run of Kestrun keeps and finds its files.
struct AppFiles {
    /// The folder of Kestrun.xml.
    std::filesystem::path documentFolder;
    /// The schema the document names.
    std::filesystem::path schemaFile;
    /// The folder of the keystroke help page.
    std::filesystem::path helpFolder;
};

/// The folder of the user's own Kestrun.xml within `dataFolder`.
std::filesystem::path UserDocumentFolder(const std::filesystem::path& dataFolder);

/// Decides where the files are. A Kestrun.xml beside the executable (a
/// portable copy, or a build) is the document. Otherwise the document is the
/// user's own, in UserDocumentFolder; on the first start of an installed copy,
/// when that folder does not exist yet, it is made and the shipped example
/// copied into it. A folder that exists is never filled again, so a document
/// the user has removed is reported missing by the load, as beside the
/// executable. The schema and the help page are taken from the executable's
/// folder when there, otherwise from the shared files.
///
/// A failure to make the user's document is reported as fatal and changes
/// nothing on disk; the result is then empty.
std::optional<AppFiles> LocateAppFiles(const StartFolders& folders, FatalErrorReporter& reporter);

}  // namespace kestrun
