#include "document/TaskDocument.h"

#include "app/Globals.h"
#include "document/HugePageArena.h"
#include "document/Utf8.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <utility>
#include <algorithm>

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

// The DOM's allocator must be in place before the first document allocates.
const bool kArenaInstalled = (HugePageArena::Install(), true);

QString QtPath(const std::filesystem::path& path)
{
    return QFile::decodeName(path.c_str());
}

}  // namespace

TaskDocument::TaskDocument(std::filesystem::path folder, FatalErrorReporter& reporter,
                           std::filesystem::path schemaFile)
    : folder_(std::move(folder)),
      schemaFile_(schemaFile.empty() ? folder_ / kSchemaFileName : std::move(schemaFile)),
      reporter_(reporter)
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

// A buffer from the DOM's own allocator. The parser builds the DOM inside it
// and takes it over, which spares a copy of the whole file on start-up.
class TaskDocument::DomBuffer {
public:
    explicit DomBuffer(std::size_t size)
        : data_(static_cast<char*>(pugi::get_memory_allocation_function()(size == 0 ? 1 : size))), size_(size)
    {
        if (!data_)
            throw std::bad_alloc();
    }
    DomBuffer(const DomBuffer&) = delete;
    DomBuffer& operator=(const DomBuffer&) = delete;
    ~DomBuffer()
    {
        if (data_)
            pugi::get_memory_deallocation_function()(data_);
    }

    char* data() { return data_; }
    std::size_t size() const { return size_; }
    std::string_view view() const { return {data_, size_}; }
    char* Release() { return std::exchange(data_, nullptr); }

private:
    char* data_;
    std::size_t size_;
};

bool TaskDocument::Load()
{
    return Guarded([this] {
        const std::filesystem::path path = DocumentPath();
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            throw DocumentError(kErrDocumentNotFound, "[Kestrun.xml] File Not Found");
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
        if (size < 0) {
            throw DocumentError(pugi::status_io_error,
                                LoadErrorDescription(std::string("The file could not be read: ") +
                                                     std::strerror(errno)));
        }
        DomBuffer buffer(static_cast<std::size_t>(size));
        in.seekg(0);
        if (size > 0 && !in.read(buffer.data(), size)) {
            throw DocumentError(pugi::status_io_error,
                                LoadErrorDescription(std::string("The file could not be read: ") +
                                                     std::strerror(errno)));
        }
        Parse(buffer, [&path] {
            std::ifstream again(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(again), std::istreambuf_iterator<char>());
        });
    });
}

bool TaskDocument::LoadFromText(std::string_view text)
{
    return Guarded([this, text] {
        DomBuffer buffer(text.size());
        std::copy(text.begin(), text.end(), buffer.data());
        Parse(buffer, [text] { return std::string(text); });
    });
}

void TaskDocument::Parse(DomBuffer& buffer, const std::function<std::string()>& original)
{
    dom_.reset();
    const std::string_view text = buffer.view();

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
        paths_.Attach(dom_);
        throw DocumentError(pugi::status_bad_pcdata,
                            LoadErrorDescription("The file holds a NUL character (" + PositionText(text, nul) + ")"));
    }
    const std::size_t size = buffer.size();
    pugi::xml_parse_result result = dom_.load_buffer_inplace_own(buffer.Release(), size, kParseOptions, encoding);
    if (!result) {
        std::string reason = result.description();
        // The parser has changed the buffer; positions are counted in the file.
        const std::string where = PositionText(original(), result.offset);
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
    schemaLocation.set_value(ToValidUtf8(SchemaPath().string()).c_str());
}

void TaskDocument::KeepSchemaLocation()
{
    // An edit may have removed the element that carried the schema location
    // (in a hand-made document it can sit on a program). Without it the saved
    // file could never be loaded again, so the document element takes it.
    if (paths_.SchemaLocation())
        return;
    pugi::xml_node root = dom_.document_element();
    if (!root)
        return;
    if (!root.attribute("xmlns:xsi"))
        root.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    root.append_attribute("xsi:noNamespaceSchemaLocation") = ToValidUtf8(SchemaPath().string()).c_str();
}

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// Hands the serialized text to the file as it is produced, so that a large
// document is never held a second time in memory; remembers a failed write.
class FileWriter : public pugi::xml_writer {
public:
    explicit FileWriter(QSaveFile& file) : file_(file) {}
    void write(const void* data, std::size_t size) override
    {
        const auto length = static_cast<qint64>(size);
        if (ok_ && file_.write(static_cast<const char*>(data), length) != length)
            ok_ = false;
    }
    bool ok() const { return ok_; }

private:
    QSaveFile& file_;
    bool ok_ = true;
};

}  // namespace

void TaskDocument::WriteTo(pugi::xml_writer& writer)
{
    KeepSchemaLocation();
    writer.write(kDeclaration, std::strlen(kDeclaration));
    dom_.save(writer, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
}

std::string TaskDocument::Serialize()
{
    std::string text;
    StringWriter writer(text);
    WriteTo(writer);
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

        // The new content is written beside the file and then replaces it in one
        // step, so a crash at any moment leaves either the old or the new file.
        QSaveFile file(existing.canonicalFilePath());
        if (!file.open(QIODevice::WriteOnly)) {
            throw DocumentError(kErrPathFileAccess, "Path/File access error: " + path.string() +
                                                        " (" + file.errorString().toStdString() + ")");
        }
        FileWriter writer(file);
        WriteTo(writer);
        if (!writer.ok() || !file.commit()) {
            std::string why = file.errorString().toStdString();
            file.cancelWriting();
            throw DocumentError(kErrDeviceIO, "Device I/O error: " + path.string() + " (" + why + ")");
        }
        gDocumentDirty = false;
    });
}

}  // namespace kestrun
