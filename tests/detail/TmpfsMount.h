#include "../support/TmpfsMount.h"
