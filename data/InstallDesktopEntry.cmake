# Runs at install time: writes the desktop entry with the full path of the
# installed program in Exec and TryExec.
if(IS_ABSOLUTE "${TAMARIND_BINDIR}")
  set(program "${TAMARIND_BINDIR}/tamarind")
else()
  set(program "${CMAKE_INSTALL_PREFIX}/${TAMARIND_BINDIR}/tamarind")
endif()
if(IS_ABSOLUTE "${TAMARIND_DATADIR}")
  set(target_dir "$ENV{DESTDIR}${TAMARIND_DATADIR}/applications")
else()
  set(target_dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TAMARIND_DATADIR}/applications")
endif()

# TryExec is a plain string: only the backslash is escaped. Exec quotes the
# path (so spaces and the like stay one word), escaping inside the quotes;
# "%" doubles; then the string's own backslash escaping applies.
string(REPLACE "\\" "\\\\" TAMARIND_TRYEXEC "${program}")
set(exec "${program}")
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\"" "\\\"" exec "${exec}")
string(REPLACE "`" "\\`" exec "${exec}")
string(REPLACE "$" "\\$" exec "${exec}")
string(REPLACE "\\" "\\\\" TAMARIND_EXEC "\"${exec}\"")

message(STATUS "Installing: ${target_dir}/tamarind.desktop")
configure_file("${TAMARIND_DESKTOP_TEMPLATE}" "${target_dir}/tamarind.desktop" @ONLY)
