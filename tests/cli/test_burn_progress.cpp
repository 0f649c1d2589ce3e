// The burn's progress bar: the share done, the speed, and the time left rounded to the
// nearest second, or unknown when nothing has been written or the estimate is absurd.

#include "cli/burn_progress.h"

#include <gtest/gtest.h>

namespace {

struct BarCase {
    const char* name;
    int64_t done, total;
    double seconds;
    const char* bar;
};

const BarCase kBarCases[] = {
    {"NothingWrittenYet", 0, 100, 0, "[----------]   0%   -.- MB/s   -:-- left"},
    {"Halfway", 50'000'000, 100'000'000, 10, "[#####-----]  50%   5.0 MB/s   0:10 left"},
    {"MinutesAndSeconds", 10'000'000, 100'000'000, 10, "[#---------]  10%   1.0 MB/s   1:30 left"},
    // 0.49999999999999994 s left: adding a half and truncating would give a whole second.
    {"JustUnderHalfASecondRoundsDown", 3, 6, 0.49999999999999994, "[#####-----]  50%   0.0 MB/s   0:00 left"},
    // A byte in three hours: 10^22 seconds would not fit an integer.
    {"AbsurdEstimateIsUnknown", 1, 1'000'000'000'000, 10'000'000'000.0, "[----------]   0%   0.0 MB/s   -:-- left"},
    {"MoreThanTheTotalIsFull", 120, 100, 1, "[##########] 100%   0.0 MB/s   0:00 left"},
};

void PrintTo(const BarCase& c, std::ostream* os) { *os << c.name; }

class BurnProgressBar : public testing::TestWithParam<BarCase> {};

TEST_P(BurnProgressBar, Shows)
{
    const BarCase& c = GetParam();
    EXPECT_EQ(TBurnProgress::Bar(c.done, c.total, c.seconds, 10), c.bar);
}

INSTANTIATE_TEST_SUITE_P(Cases, BurnProgressBar, testing::ValuesIn(kBarCases),
                         [](const testing::TestParamInfo<BarCase>& c) { return std::string(c.param.name); });

}  // namespace
