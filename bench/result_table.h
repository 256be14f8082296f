// The benchmark's output: one row per measured path, printed as a Markdown table so that the latest
// run can be pasted into docs/PERFORMANCE.md as it is.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace lumicap::bench {

// Whether a row reached its goal; rows without a goal are only reported.
enum class Verdict { kMet, kMissed, kReported };

struct Row {
    std::string path;
    std::string measured;
    std::string baseline;
    std::string ratio;
    std::string goal;
    Verdict verdict = Verdict::kReported;
};

// Met when ratio <= limit (times) or ratio >= limit (throughputs and rates).
Verdict AtMost(double ratio, double limit);
Verdict AtLeast(double ratio, double limit);

class ResultTable {
public:
    void Add(Row row) { rows_.push_back(std::move(row)); }
    // Also prints the row at once, so a long run shows its progress.
    void AddAndShow(Row row, std::FILE* out);
    void Print(std::FILE* out) const;
    size_t Missed() const;

private:
    std::vector<Row> rows_;
};

}  // namespace lumicap::bench
