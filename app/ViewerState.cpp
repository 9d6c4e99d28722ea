#include "app/ViewerState.h"

namespace tamarind {

ViewerState Viewer;

}  // namespace tamarind
