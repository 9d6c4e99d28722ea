#pragma once
// A time limit for code that must not block. Work that hangs (an open on a
// named pipe waiting for a writer, say) would otherwise stall the test run
// until ctest's own limit; with a Deadline in scope the test program stops
// with a message naming the test once the time is up, so a regression fails
// quickly instead of hanging.
//
//     {
//         tamarind::test::Deadline limit(std::chrono::seconds(10));
//         ... work that must return ...
//     }

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace tamarind::test {

class Deadline {
  public:
    explicit Deadline(std::chrono::milliseconds limit) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name()
                                : std::string("(outside a test)");
        watcher_ = std::thread([this, limit, name] {
            std::unique_lock lock(mutex_);
            if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                std::fprintf(stderr, "%s: did not finish within %lld ms; it blocks\n", name.c_str(),
                             static_cast<long long>(limit.count()));
                std::fflush(stderr);
                std::_Exit(3);
            }
        });
    }
    ~Deadline() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        watcher_.join();
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread watcher_;
};

}  // namespace tamarind::test
