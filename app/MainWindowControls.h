#pragma once
// Small facts about the main window's controls shared by the code that builds
// them and the handlers that reset them.

#include <QString>

namespace tamarind {

// The caption of an empty slot's frame: the full-width letter of slot 1..16.
QString EmptySlotTitle(int slot);

}  // namespace tamarind
