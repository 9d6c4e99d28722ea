#include "shared/ViewerState.h"

namespace tamarind {

ViewerState Viewer;

}  // namespace tamarind
