#pragma once
// Whether this test program runs with the sanitizers' run-time: the programs
// linked against the sanitizer twins carry the run-time's default options
// (tools/sanitizer/SanitizerOptions.cpp). The tests' own code is compiled the
// same for both, so this is asked at run time. Resident sizes mean little
// there: shadow memory and the quarantine grow them.

extern "C" const char* __asan_default_options() __attribute__((weak));

namespace tamarind::test {

inline bool SanitizersWatch() {
    return __asan_default_options != nullptr;
}

}  // namespace tamarind::test
