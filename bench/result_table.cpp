#include "result_table.h"

#include <algorithm>
#include <array>

namespace lumicap::bench {
namespace {

constexpr size_t kColumns = 6;
using Cells = std::array<std::string, kColumns>;

const char* VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::kMet:
        return "met";
    case Verdict::kMissed:
        return "MISSED";
    case Verdict::kReported:
        return "reported";
    }
    return "";
}

Cells CellsOf(const Row& row)
{
    return {row.path, row.measured, row.baseline, row.ratio, row.goal, VerdictText(row.verdict)};
}

void PrintLine(std::FILE* out, const Cells& cells, const std::array<size_t, kColumns>& widths)
{
    std::fputs("|", out);
    for (size_t i = 0; i < kColumns; ++i) std::fprintf(out, " %-*s |", static_cast<int>(widths[i]), cells[i].c_str());
    std::fputs("\n", out);
}

}  // namespace

Verdict AtMost(double ratio, double limit) { return ratio <= limit ? Verdict::kMet : Verdict::kMissed; }

Verdict AtLeast(double ratio, double limit) { return ratio >= limit ? Verdict::kMet : Verdict::kMissed; }

void ResultTable::AddAndShow(Row row, std::FILE* out)
{
    const Cells cells = CellsOf(row);
    std::fprintf(out, "  %s: %s (baseline %s) ratio %s, goal %s: %s\n", cells[0].c_str(), cells[1].c_str(),
                 cells[2].c_str(), cells[3].c_str(), cells[4].c_str(), cells[5].c_str());
    std::fflush(out);
    Add(std::move(row));
}

void ResultTable::Print(std::FILE* out) const
{
    const Cells header = {"path", "measured", "baseline", "ratio", "goal", "met/missed"};
    std::array<size_t, kColumns> widths{};
    for (size_t i = 0; i < kColumns; ++i) widths[i] = header[i].size();
    for (const Row& row : rows_) {
        const Cells cells = CellsOf(row);
        for (size_t i = 0; i < kColumns; ++i) widths[i] = std::max(widths[i], cells[i].size());
    }
    PrintLine(out, header, widths);
    std::fputs("|", out);
    for (size_t width : widths) std::fprintf(out, "%s|", std::string(width + 2, '-').c_str());
    std::fputs("\n", out);
    for (const Row& row : rows_) PrintLine(out, CellsOf(row), widths);
}

size_t ResultTable::Missed() const
{
    return static_cast<size_t>(
        std::count_if(rows_.begin(), rows_.end(), [](const Row& row) { return row.verdict == Verdict::kMissed; }));
}

}  // namespace lumicap::bench
