#pragma once
// File access by path. Paths are QStrings; a file name whose bytes are not
// valid UTF-8 is kept losslessly by mapping each stray byte to the lone
// surrogate U+DC80 + byte (as Python's "surrogateescape" does), so every
// name the folder lists can be opened again. All file access of the program
// goes through these functions (or OpenRegularFile of platform/OpenFile.h),
// never through QFile with such a path.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "platform/ErrorText.h"

namespace tamarind {

// QString path -> bytes for the system calls, and back.
QByteArray EncodePath(const QString& path);
QString DecodePath(const QByteArray& bytes);

// Reads at most `maxBytes` bytes from the start of the file (all of it when
// maxBytes is negative). Raises TamarindError("ファイル <path> を開けません ...")
// when the file cannot be opened or read.
QByteArray ReadFileBytes(const QString& path, std::int64_t maxBytes = -1);

// Like ReadFileBytes, but an empty result instead of an error.
bool TryReadFileBytes(const QString& path, std::int64_t maxBytes, QByteArray& out);

// Writes the whole file (created or truncated). Raises TamarindError on failure.
void WriteFileBytes(const QString& path, const QByteArray& data);

}  // namespace tamarind
