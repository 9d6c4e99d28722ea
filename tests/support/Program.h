#pragma once
// The path of the program a test starts: the build's tamarind for a test
// program linked against the program's libraries, the sanitized tamarind for
// one linked against their sanitizer twins.

#include <QString>

namespace tamarind::test {

QString TamarindProgram();

}  // namespace tamarind::test
