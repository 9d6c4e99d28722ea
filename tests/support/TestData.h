#pragma once
// Where the shared test pictures live: $TAMARIND_TESTDATA, else the
// shared/testdata folder beside the project, found at configure time.

#include <QString>

namespace tamarind::test {

// The folder, or an empty string when it cannot be found.
QString TestDataDir();
// A file or folder inside it; fails the calling test when the folder is missing.
QString TestDataPath(const QString& relative);

}  // namespace tamarind::test

// Fails the current test when the shared pictures are not on this machine.
#define REQUIRE_TESTDATA()                                                          \
    do {                                                                            \
        if (::tamarind::test::TestDataDir().isEmpty())                              \
            GTEST_FAIL() << "shared test pictures not found (set TAMARIND_TESTDATA)"; \
    } while (0)
