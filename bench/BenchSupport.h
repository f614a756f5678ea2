#pragma once
// What each benchmark run measured, kept by name so that a benchmark can print its
// ratios against the reference it ran alongside once all runs are done.

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace khub::bench {

class RunRecorder : public benchmark::ConsoleReporter {
  public:
    struct Result {
        double bytesPerSecond = 0;  // 0 when the benchmark counts no bytes
        double realSeconds = 0;     // per iteration
        double cpuSeconds = 0;      // per iteration
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) {
                continue;
            }
            Result r;
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) r.bytesPerSecond = it->second.value;
            r.realSeconds = run.real_accumulated_time / double(run.iterations);
            r.cpuSeconds = run.cpu_accumulated_time / double(run.iterations);
            // By full name (with its arguments) and by the bare name it was registered under.
            results_[run.benchmark_name()] = r;
            results_[run.run_name.function_name] = r;
        }
    }

    // The run of that name, or an all-zero result when it did not run.
    Result Get(const std::string& name) const {
        auto it = results_.find(name);
        return it == results_.end() ? Result{} : it->second;
    }

  private:
    std::map<std::string, Result> results_;
};

// Runs the benchmarks the command line selects, then hands what they measured to
// printRatios.
inline void RunWithRatios(int& argc, char** argv,
                          const std::function<void(const RunRecorder&)>& printRatios) {
    benchmark::Initialize(&argc, argv);
    RunRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    printRatios(recorder);
    benchmark::Shutdown();
}

}  // namespace khub::bench
