#pragma once
// The program's version record and the two informational command-line
// options. The record lies in the program file as data of its own section
// (".tamarind_version"), so tools can read it without running the program.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace tamarind {

// An entry of the record's string table by key ("FileVersion",
// "ProductVersion", "FileDescription", "Comments", "InternalName",
// "ProductName", "CompanyName", "LegalCopyright", "OriginalFilename");
// empty for an unknown key.
QString VersionEntry(const char* key);
// The numeric file version, most significant part first (2, 2, 0, 0).
std::array<std::uint16_t, 4> FileVersionNumbers();

enum class InfoOption { None, Version, Help };

// "--version" or "--help" as the first argument (after the program name);
// every other argument, "./--version" included, is left to the start-up
// options.
InfoOption InfoOptionOf(const QStringList& args);

// What "--version" prints.
QString VersionText();
// What "--help" prints: the command-line usage and where the help file is
// (`helpFile`, marked when it does not exist).
QString UsageText(const QString& helpFile);

}  // namespace tamarind
