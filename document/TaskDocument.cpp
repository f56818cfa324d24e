#include "document/TaskDocument.h"

#include "app/Globals.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

namespace kestrun {

namespace {

// Error numbers of the file facility, for failures while saving.
constexpr std::int32_t kErrFileNotFound = 53;
constexpr std::int32_t kErrPermissionDenied = 70;
constexpr std::int32_t kErrPathFileAccess = 75;
constexpr std::int32_t kErrDeviceIO = 57;
constexpr std::int32_t kErrOutOfMemory = 7;
constexpr std::int32_t kErrInvalidCall = 5;

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single |
                                   pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;

std::string LoadErrorDescription(const std::string& reason)
{
    return std::string("[Kestrun.xml] File Error -") + kLineBreak + reason;
}

// A position in the text as "line L, column C", both from 1.
std::string PositionText(std::string_view text, std::ptrdiff_t offset)
{
    if (offset < 0 || static_cast<std::size_t>(offset) > text.size())
        return {};
    long line = 1;
    long column = 1;
    for (std::ptrdiff_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') { ++line; column = 1; }
        else ++column;
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

class StringWriter : public pugi::xml_writer {
public:
    explicit StringWriter(std::string& out) : out_(out) {}
    void write(const void* data, std::size_t size) override
    {
        out_.append(static_cast<const char*>(data), size);
    }

private:
    std::string& out_;
};

QString QtPath(const std::filesystem::path& path)
{
    return QFile::decodeName(path.c_str());
}

}  // namespace

TaskDocument::TaskDocument(std::filesystem::path folder, FatalErrorReporter& reporter)
    : folder_(std::move(folder)), reporter_(reporter)
{
}

void TaskDocument::Fail(const DocumentError& error)
{
    ReportFatalError(reporter_, error);
}

bool TaskDocument::Guarded(const std::function<void()>& operation)
{
    try {
        operation();
        return true;
    } catch (const DocumentError& error) {
        Fail(error);
    } catch (const pugi::xpath_exception& error) {
        Fail(DocumentError(kErrInvalidCall, error.what()));
    } catch (const std::bad_alloc&) {
        Fail(DocumentError(kErrOutOfMemory, "Out of memory"));
    }
    return false;
}

bool TaskDocument::Load()
{
    return Guarded([this] {
        const std::filesystem::path path = DocumentPath();
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            throw DocumentError(kErrDocumentNotFound, "[Kestrun.xml] File Not Found");
        std::ifstream in(path, std::ios::binary);
        std::string text;
        if (in)
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in && !in.eof()) {
            throw DocumentError(pugi::status_io_error,
                                LoadErrorDescription(std::string("The file could not be read: ") +
                                                     std::strerror(errno)));
        }
        ParseOrThrow(text);
    });
}

bool TaskDocument::LoadFromText(std::string_view text)
{
    return Guarded([this, text] { ParseOrThrow(text); });
}

void TaskDocument::ParseOrThrow(std::string_view text)
{
    // Files written as single-byte text by older versions are not UTF-8; read
    // those as Latin-1 instead of carrying invalid bytes along.
    pugi::xml_encoding encoding = IsValidUtf8(text) ? pugi::encoding_auto : pugi::encoding_latin1;
    const bool wide = text.substr(0, 2) == std::string_view("\xFF\xFE", 2) ||
                      text.substr(0, 2) == std::string_view("\xFE\xFF", 2) ||
                      text.substr(0, 2) == std::string_view("<\0", 2) ||
                      text.substr(0, 2) == std::string_view("\0<", 2);
    if (wide) {
        encoding = pugi::encoding_auto;  // UTF-16 or UTF-32
    } else if (std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        // XML allows no NUL character; the parser would silently cut the text there.
        throw DocumentError(pugi::status_bad_pcdata,
                            LoadErrorDescription("The file holds a NUL character (" + PositionText(text, nul) + ")"));
    }
    pugi::xml_parse_result result = dom_.load_buffer(text.data(), text.size(), kParseOptions, encoding);
    if (!result) {
        std::string reason = result.description();
        std::string where = PositionText(text, result.offset);
        if (!where.empty())
            reason += " (" + where + ")";
        dom_.reset();
        paths_.Attach(dom_);
        throw DocumentError(result.status, LoadErrorDescription(reason));
    }
    paths_.Attach(dom_);
    pugi::xml_attribute schemaLocation = paths_.SchemaLocation();
    if (!schemaLocation)
        throw DocumentError::NodeNotFound();
    schemaLocation.set_value(SchemaPath().string().c_str());
}

std::string TaskDocument::Serialize() const
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    StringWriter writer(text);
    dom_.save(writer, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    return text;
}

void TaskDocument::SaveTaskDocument()
{
    Guarded([this] {
        const std::filesystem::path path = DocumentPath();
        const QString name = QtPath(path);
        const QFileInfo existing(name);
        if (!existing.exists() || !existing.isFile())
            throw DocumentError(kErrFileNotFound, "File not found: " + path.string());
        if (!existing.isWritable())
            throw DocumentError(kErrPermissionDenied, "Permission denied: " + path.string());

        const std::string text = Serialize();
        // The new content is written beside the file and then replaces it in one
        // step, so a crash at any moment leaves either the old or the new file.
        QSaveFile file(existing.canonicalFilePath());
        if (!file.open(QIODevice::WriteOnly)) {
            throw DocumentError(kErrPathFileAccess, "Path/File access error: " + path.string() +
                                                        " (" + file.errorString().toStdString() + ")");
        }
        const auto size = static_cast<qint64>(text.size());
        if (file.write(text.data(), size) != size || !file.commit()) {
            std::string why = file.errorString().toStdString();
            file.cancelWriting();
            throw DocumentError(kErrDeviceIO, "Device I/O error: " + path.string() + " (" + why + ")");
        }
        gDocumentDirty = false;
    });
}

}  // namespace kestrun
