#pragma once
// The user's words for a failed system call.

#include <QString>

namespace tamarind {

// The text shown for an errno value, in Japanese whatever the system's
// locale: file not found, invalid file name, too many open files, access
// denied, disk full and a few more in words, any other error as
// "I/O エラー (n)" with the system's error number.
QString SystemErrorText(int error);

}  // namespace tamarind
