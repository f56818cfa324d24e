// Loads arbitrary bytes as a task document, then lists and edits whatever
// loaded, driven by the rest of the input. Beyond the sanitizers it checks:
// - the path shortcuts always agree with a search of the whole document,
// - a listing returns exactly the tasks the full path selects,
// - saving and loading again gives back the same text.

#include "tests/fuzz/FuzzCheck.h"
#include "document/TaskDocument.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using kestrun::TaskDocument;

class StopReporter : public kestrun::FatalErrorReporter {
public:
    void Report(std::int32_t, const std::string&) override { failed = true; }
    bool failed = false;
};

std::size_t FullPathTaskCount(const TaskDocument& document, const std::string& program)
{
    if (program.find('\0') != std::string::npos)
        return 0;  // no stored name holds a NUL
    pugi::xpath_variable_set variables;
    variables.set("name", program.c_str());
    return document.Dom().select_nodes("//programs/program[name=$name]/tasks/task", &variables).size();
}

std::string PickName(FuzzedDataProvider& input, TaskDocument& document)
{
    std::vector<std::string> names = document.ProgramNames();
    if (!names.empty() && input.ConsumeBool())
        return names[input.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
    return input.ConsumeRandomLengthString(24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string text = input.ConsumeRandomLengthString(size);

    StopReporter reporter;
    TaskDocument document("/kestrun-fuzz", reporter);
    if (!document.LoadFromText(text))
        return 0;

    static const char* const kTypes[] = {"Open File", "Wait", "Keystrokes", "wait"};
    for (int step = 0; step < 16 && input.remaining_bytes() > 0 && !reporter.failed; ++step) {
        const std::string name = PickName(input, document);
        const int index = input.ConsumeIntegralInRange<int>(-1, 8);
        const std::string type = kTypes[input.ConsumeIntegralInRange<int>(0, 3)];
        switch (input.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: {
            const std::size_t rows = document.FillTaskList(name).size();
            if (!reporter.failed)
                CHECK(rows == FullPathTaskCount(document, name));
            break;
        }
        case 1: document.AddProgram(name); break;
        case 2: document.RenameProgram(name, input.ConsumeRandomLengthString(24)); break;
        case 3: document.DeleteProgram(name); break;
        case 4: document.AddTask(name, type, input.ConsumeRandomLengthString(24), input.ConsumeBool()); break;
        case 5: document.UpdateTask(name, index, type, input.ConsumeRandomLengthString(24), input.ConsumeBool()); break;
        case 6: document.DeleteTask(name, index); break;
        case 7: document.MoveTask(name, index, input.ConsumeBool()); break;
        }
        CHECK(document.PathsConsistent());
    }
    if (reporter.failed)
        return 0;

    const std::string saved = document.Serialize();
    StopReporter again;
    TaskDocument reloaded("/kestrun-fuzz", again);
    const bool reloads = reloaded.LoadFromText(saved);
    const std::string resaved = reloads ? reloaded.Serialize() : std::string();
    if ((!reloads || resaved != saved) && std::getenv("KESTRUN_FUZZ_DUMP")) {
        // Set KESTRUN_FUZZ_DUMP to a folder to see both texts of a failed round trip.
        const std::string folder = std::getenv("KESTRUN_FUZZ_DUMP");
        for (const auto& [file, content] : {std::pair{"saved.xml", saved}, {"reloaded.xml", resaved}}) {
            if (FILE* out = std::fopen((folder + "/" + file).c_str(), "wb")) {
                std::fwrite(content.data(), 1, content.size(), out);
                std::fclose(out);
            }
        }
    }
    CHECK(reloads);
    CHECK(resaved == saved);
    return 0;
}
