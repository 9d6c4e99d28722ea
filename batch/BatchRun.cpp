#include "batch/BatchRun.h"

namespace tamarind {

void RunBatch(const BatchRun&, QString&) {}

}  // namespace tamarind
