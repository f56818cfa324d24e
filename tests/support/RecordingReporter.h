#pragma once

#include "document/DocumentError.h"

#include <string>
#include <vector>

namespace kestrun::test {

/// A fatal reporter that records each report and returns.
class RecordingReporter : public FatalErrorReporter {
public:
    struct Entry {
        std::int32_t number;
        std::string text;
    };

    void Report(std::int32_t number, const std::string& text) override { reports.push_back({number, text}); }

    bool Silent() const { return reports.empty(); }

    std::vector<Entry> reports;
};

}  // namespace kestrun::test
