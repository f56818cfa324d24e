// Loads arbitrary bytes as a task document, then lists and edits whatever loaded, driven by the
// rest of the input. Beyond the sanitizers it checks that the path shortcuts always agree with a
// search of the whole document and that saving and loading again gives back the same text.

#include "tests/fuzz/FuzzCheck.h"
#include "document/TaskDocument.h"
#include "tests/support/RecordingReporter.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    kestrun::test::RecordingReporter reporter;
    kestrun::TaskDocument document("/kestrun-fuzz", reporter);
    if (!document.LoadFromText(input.ConsumeRandomLengthString(size)))
        return 0;
    static const char* const kTypes[] = {"Open File", "Wait", "Keystrokes", "wait"};
    for (int step = 0; step < 16 && input.remaining_bytes() > 0 && reporter.Silent(); ++step) {
        const std::vector<std::string> names = document.ProgramNames();
        const std::string name = !names.empty() && input.ConsumeBool()
                                     ? names[input.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)]
                                     : input.ConsumeRandomLengthString(24);
        const int index = input.ConsumeIntegralInRange<int>(-1, 8);
        const std::string type = kTypes[input.ConsumeIntegralInRange<int>(0, 3)];
        switch (input.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: document.FillTaskList(name); break;
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
    if (!reporter.Silent())
        return 0;
    const std::string saved = document.Serialize();
    kestrun::test::RecordingReporter again;
    kestrun::TaskDocument reloaded("/kestrun-fuzz", again);
    CHECK(reloaded.LoadFromText(saved) && reloaded.Serialize() == saved);
    return 0;
}
