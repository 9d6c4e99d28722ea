#pragma once
// Measures an action in a child process of its own: how long it takes and how
// far it grows the resident size, undisturbed by whatever the test process
// held before. The test program runs itself again, limited to the current
// test, with an environment variable that marks the child; there the same
// test body reaches MeasureInChild again, which prepares, runs and measures
// the action, writes the figures for the parent and ends the child. In the
// parent the call only starts the child, waits for it and returns the figures.
//
//     TEST(Hostile, TurningStaysSmall) {
//         const ChildFigures f = MeasureInChild(
//             [&] { ...set-up, not measured... },
//             [&] { ...the action... });
//         ASSERT_TRUE(f.finished) << f.failure;
//         EXPECT_LT(f.grownBytes, std::int64_t(600) << 20);
//     }
//
// Checks made inside the lambdas run in the child: a failed one makes the
// figures unfinished, with the child's output telling why. One call per test.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace tamarind::test {

struct ChildFigures {
    bool finished = false;        // the child ran the action and passed its checks
    std::string failure;          // otherwise why not
    double seconds = 0;           // wall-clock time of the action
    double cpuSeconds = 0;        // processor time of the action, all threads
    std::int64_t grownBytes = 0;  // peak resident size during it over the size before
};

// A child that runs longer than `limit` is killed and reported unfinished.
ChildFigures MeasureInChild(const std::function<void()>& prepare,
                            const std::function<void()>& action,
                            std::chrono::seconds limit = std::chrono::seconds(600));

// "2.31 s (processor 2.20 s), grew 130 MB", for messages.
std::string Describe(const ChildFigures& figures);

}  // namespace tamarind::test
