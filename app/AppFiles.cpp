#include "app/AppFiles.h"

#include "app/QtPath.h"

#include "document/TaskDocument.h"
#include "editor/frmAddTask.h"

#include <QFile>
#include <QSaveFile>

#include <system_error>

namespace kestrun {

namespace {

// The file facility's "Path/File access error".
constexpr std::int32_t kErrPathFileAccess = 75;

// True for any entry of that name, even a broken link: the load then reports
// what is wrong with it instead of another document being used.
bool Present(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// The first of the two folders that holds `name`; the first folder when none does.
std::filesystem::path FolderHolding(const StartFolders& folders, const char* name)
{
    std::error_code ec;
    if (!std::filesystem::exists(folders.programFolder / name, ec) &&
        std::filesystem::exists(folders.sharedFolder / name, ec))
        return folders.sharedFolder;
    return folders.programFolder;
}

DocumentError CannotCreate(const std::filesystem::path& path, const std::string& reason)
{
    return DocumentError(kErrPathFileAccess, std::string("[Kestrun.xml] Kestrun cannot create your programs file ") +
                                                 path.string() + ":" + kLineBreak + reason);
}

// Copies the example into a new folder, atomically; on failure removes the
// folder again, so that the next start is a first start too.
void CreateUserDocument(const std::filesystem::path& example, const std::filesystem::path& folder)
{
    QFile source(QtPath(example));
    if (!source.open(QIODevice::ReadOnly)) {
        throw DocumentError(kErrDocumentNotFound,
                            std::string("[Kestrun.xml] File Not Found") + kLineBreak +
                                "There is none beside Kestrun, and its example " + example.string() +
                                " is missing.");
    }
    const QByteArray content = source.readAll();

    std::error_code ec;
    const std::filesystem::path target = folder / kDocumentFileName;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        throw CannotCreate(target, ec.message());
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);

    QSaveFile file(QtPath(target));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        const std::string reason = file.errorString().toStdString();
        file.cancelWriting();
        std::filesystem::remove(folder, ec);
        throw CannotCreate(target, reason);
    }
}

}  // namespace

std::filesystem::path UserDocumentFolder(const std::filesystem::path& dataFolder)
{
    return dataFolder / "Kestrun";
}

std::optional<AppFiles> LocateAppFiles(const StartFolders& folders, FatalErrorReporter& reporter)
{
    AppFiles files;
    files.documentFolder = folders.programFolder;
    if (!Present(folders.programFolder / kDocumentFileName)) {
        files.documentFolder = UserDocumentFolder(folders.dataFolder);
        if (!Present(files.documentFolder)) {
            try {
                CreateUserDocument(folders.sharedFolder / folders.exampleName, files.documentFolder);
            } catch (const DocumentError& error) {
                ReportFatalError(reporter, error);
                return std::nullopt;
            }
        }
    }
    files.schemaFile = FolderHolding(folders, kSchemaFileName) / kSchemaFileName;
    files.helpFolder = FolderHolding(folders, kKeystrokesHelpFile);
    return files;
}

}  // namespace kestrun
