// Compiled into each test program on its own, with the path of the program
// built beside it (TAMARIND_PROGRAM).
#include "Program.h"

namespace tamarind::test {

QString TamarindProgram() {
    return QStringLiteral(TAMARIND_PROGRAM);
}

}  // namespace tamarind::test
