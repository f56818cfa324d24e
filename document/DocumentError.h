#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrun {

/// Number of the failure "a node that a path had to find was not found".
inline constexpr std::int32_t kErrNodeNotFound = 91;
/// Number of the failure "the task document file does not exist" at load.
inline constexpr std::int32_t kErrDocumentNotFound = -2146697210;  // 0x800C0006

/// Numbers of the file facility's failures, as the document's file reports them.
inline constexpr std::int32_t kErrOutOfMemory = 7;
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrDeviceIO = 57;
inline constexpr std::int32_t kErrDiskFull = 61;
inline constexpr std::int32_t kErrPermissionDenied = 70;

/// The line break used inside message texts on this platform.
#ifdef _WIN32
inline constexpr const char* kLineBreak = "\r\n";
#else
inline constexpr const char* kLineBreak = "\n";
#endif

/// A failure of the document layer: a signed 32-bit number and a description.
/// Operations throw it internally and turn it into one fatal report at their
/// boundary; it never leaves the document layer.
class DocumentError : public std::runtime_error {
public:
    DocumentError(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    std::int32_t number() const { return number_; }
    std::string description() const { return what(); }

    /// A node that a path had to find is missing.
    static DocumentError NodeNotFound() {
        return DocumentError(kErrNodeNotFound, "Object variable or With block variable not set");
    }

    /// The document could not be loaded: "[Kestrun.xml] File Error -", a line
    /// break and the reason.
    static DocumentError LoadFailure(std::int32_t number, const std::string& reason) {
        return DocumentError(number, std::string("[Kestrun.xml] File Error -") + kLineBreak + reason);
    }

private:
    std::int32_t number_;
};

/// Receives the single fatal report of the document layer.
class FatalErrorReporter {
public:
    virtual ~FatalErrorReporter() = default;

    /// Shows the report. The application's reporter ends the process and never
    /// returns; a test's reporter records the report and returns, after which
    /// the failed operation returns without doing anything more.
    virtual void Report(std::int32_t number, const std::string& text) = 0;
};

/// The text of the fatal message box for a failure: "Error: ", the number, a
/// line break, then the description ("[Kestrun.xml] File Error Corrupted" for 91).
std::string FatalErrorText(std::int32_t number, const std::string& description);

/// Shows the failure through the reporter (which, in the application, ends it).
void ReportFatalError(FatalErrorReporter& reporter, const DocumentError& error);

}  // namespace kestrun
