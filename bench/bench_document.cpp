// Figures for the task document store at three sizes (programs x tasks):
// load, listing one program, each editing operation, and save. The program
// edited is the last one, the worst case for finding it by name.

#include "bench/DocumentGenerator.h"
#include "document/TaskDocument.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace {

using kestrun::TaskDocument;
using kestrun::bench::GenerateDocument;
using kestrun::bench::ProgramName;

class AbortingReporter : public kestrun::FatalErrorReporter {
public:
    void Report(std::int32_t, const std::string& text) override
    {
        std::fprintf(stderr, "unexpected failure: %s\n", text.c_str());
        std::abort();
    }
};

AbortingReporter reporter;

// One folder with a generated Kestrun.xml and a loaded document per size.
struct Sample {
    std::filesystem::path folder;
    std::unique_ptr<TaskDocument> document;
};

Sample& SampleFor(int programs, int tasks)
{
    static std::map<std::pair<int, int>, Sample> samples;
    Sample& sample = samples[{programs, tasks}];
    if (!sample.document) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrun-bench-XXXXXX").string();
        sample.folder = mkdtemp(pattern.data());
        std::ofstream(sample.folder / "Kestrun.xml") << GenerateDocument(programs, tasks);
        sample.document = std::make_unique<TaskDocument>(sample.folder, reporter);
        sample.document->Load();
    }
    return sample;
}

struct Args {
    explicit Args(const benchmark::State& state)
        : programs(static_cast<int>(state.range(0))), tasks(static_cast<int>(state.range(1))),
          sample(SampleFor(programs, tasks)), document(*sample.document), last(ProgramName(programs - 1))
    {
        document.FillTaskList(last);
    }
    int programs;
    int tasks;
    Sample& sample;
    TaskDocument& document;
    std::string last;
};

void Load(benchmark::State& state)
{
    Args args(state);
    for (auto _ : state) {
        TaskDocument document(args.sample.folder, reporter);
        benchmark::DoNotOptimize(document.Load());
    }
}

void FillTaskList(benchmark::State& state)
{
    Args args(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(args.document.FillTaskList(args.last));
}

void AddProgram(benchmark::State& state)
{
    Args args(state);
    for (auto _ : state) {
        args.document.AddProgram("Added");
        state.PauseTiming();
        args.document.DeleteProgram("Added");
        state.ResumeTiming();
    }
}

void RenameProgram(benchmark::State& state)
{
    Args args(state);
    const std::string names[2] = {args.last, "Renamed"};
    int from = 0;
    for (auto _ : state) {
        args.document.RenameProgram(names[from], names[1 - from]);
        from = 1 - from;
    }
    if (from == 1)
        args.document.RenameProgram(names[1], names[0]);
}

void DeleteProgram(benchmark::State& state)
{
    Args args(state);
    for (auto _ : state) {
        state.PauseTiming();
        args.document.AddProgram("Added");
        state.ResumeTiming();
        args.document.DeleteProgram("Added");
    }
}

void AddTask(benchmark::State& state)
{
    Args args(state);
    for (auto _ : state) {
        args.document.AddTask(args.last, "Keystrokes", "abc", true);
        state.PauseTiming();
        args.document.FillTaskList(args.last);
        args.document.DeleteTask(args.last, args.tasks + 1);
        state.ResumeTiming();
    }
}

void UpdateTask(benchmark::State& state)
{
    Args args(state);
    const int row = args.tasks / 2 + 1;
    for (auto _ : state)
        args.document.UpdateTask(args.last, row, "Wait", "5 seconds", true);
}

void DeleteTask(benchmark::State& state)
{
    Args args(state);
    for (auto _ : state) {
        state.PauseTiming();
        args.document.AddTask(args.last, "Keystrokes", "abc", true);
        args.document.FillTaskList(args.last);
        state.ResumeTiming();
        args.document.DeleteTask(args.last, args.tasks + 1);
    }
}

void MoveTask(benchmark::State& state)
{
    Args args(state);
    const int row = args.tasks / 2;
    bool down = true;
    for (auto _ : state) {
        args.document.MoveTask(args.last, row, down);
        down = !down;
    }
    if (!down)
        args.document.MoveTask(args.last, row, false);
}

void Save(benchmark::State& state)
{
    Args args(state);
    for (auto _ : state)
        args.document.SaveTaskDocument(reporter);
}

void Sizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->ArgNames({"programs", "tasks"});
    benchmark->Args({10, 10})->Args({100, 100})->Args({1000, 100});
}

}  // namespace

BENCHMARK(Load)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(FillTaskList)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(AddProgram)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(RenameProgram)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(DeleteProgram)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(AddTask)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(UpdateTask)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(DeleteTask)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(MoveTask)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(Save)->Apply(Sizes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
