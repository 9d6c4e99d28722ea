#include "ChildMeasure.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "ProcessStatus.h"

extern char** environ;

namespace tamarind::test {
namespace {

constexpr const char* kChildVariable = "TAMARIND_MEASURED_TEST";
constexpr const char* kReportVariable = "TAMARIND_MEASURED_REPORT";

std::string CurrentTest() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The child's side: never returns.
[[noreturn]] void RunMeasured(const std::function<void()>& prepare,
                              const std::function<void()>& action) {
    std::ofstream report(std::getenv(kReportVariable));
    auto fail = [&](const std::string& why) {
        report << "failed " << why << "\n";
        report.close();
        std::fflush(nullptr);
        std::_Exit(1);
    };
    try {
        if (prepare) prepare();
        if (::testing::Test::HasFailure()) fail("a check before the action failed");
        // The peak starts afresh from the present size; where it cannot, the
        // peak so far is taken off instead.
        const std::int64_t base = ResetPeakResident() ? StatusKb("VmRSS:") : StatusKb("VmHWM:");
        const double cpu = CpuSeconds(), start = Now();
        action();
        const double seconds = Now() - start, cpuSeconds = CpuSeconds() - cpu;
        const std::int64_t grown = (StatusKb("VmHWM:") - base) * 1024;
        if (::testing::Test::HasFailure()) fail("a check in the action failed");
        report << "done " << seconds << " " << cpuSeconds << " " << grown << "\n";
    } catch (const std::exception& e) {
        fail(std::string("exception: ") + e.what());
    } catch (...) {
        fail("an exception");
    }
    report.close();
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace

ChildFigures MeasureInChild(const std::function<void()>& prepare,
                            const std::function<void()>& action, std::chrono::seconds limit) {
    const std::string test = CurrentTest();
    if (const char* marked = std::getenv(kChildVariable); marked && test == marked)
        RunMeasured(prepare, action);

    ChildFigures figures;
    char reportPath[] = "/tmp/tamarind-measure-XXXXXX";
    const int reportFd = mkstemp(reportPath);
    if (reportFd < 0) {
        figures.failure = "no report file";
        return figures;
    }
    close(reportFd);
    std::vector<std::string> variables;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "TAMARIND_MEASURED_", 18) != 0) variables.emplace_back(*e);
    variables.push_back(std::string(kChildVariable) + "=" + test);
    variables.push_back(std::string(kReportVariable) + "=" + reportPath);
    std::vector<char*> envp;
    for (std::string& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe", filter = "--gtest_filter=" + test;
    std::string brief = "--gtest_brief=1";
    char* argv[] = {program.data(), filter.data(), brief.data(), nullptr};

    std::fflush(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) != 0) {
        figures.failure = "the child could not be started";
        unlink(reportPath);
        return figures;
    }
    int status = 0;
    const double deadline = Now() + double(limit.count());
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (Now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            figures.failure =
                "the child did not finish within " + std::to_string(limit.count()) + " s";
            unlink(reportPath);
            return figures;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::ifstream report(reportPath);
    std::string word;
    report >> word;
    if (word == "done") {
        report >> figures.seconds >> figures.cpuSeconds >> figures.grownBytes;
        figures.finished = true;
        std::printf("[ measured ] %s: %s\n", test.c_str(), Describe(figures).c_str());
    } else if (word == "failed") {
        std::getline(report, figures.failure);
        figures.failure = "in the child:" + figures.failure + " (see its output above)";
    } else {
        figures.failure =
            "the child ended without a report (exit status " + std::to_string(status) + ")";
    }
    unlink(reportPath);
    return figures;
}

std::string Describe(const ChildFigures& f) {
    std::ostringstream text;
    text.precision(3);
    text << f.seconds << " s (processor " << f.cpuSeconds << " s), grew " << (f.grownBytes >> 20)
         << " MB";
    return text.str();
}

}  // namespace tamarind::test
