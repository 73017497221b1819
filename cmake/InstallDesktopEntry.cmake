# Runs at install time: the desktop entry of data/ with its program, icon and demo paths made
# absolute for the prefix being installed into.
foreach(dir BINDIR DATADIR)
  if(IS_ABSOLUTE "${KALVIX_${dir}}")
    set(full_${dir} "${KALVIX_${dir}}")
  else()
    set(full_${dir} "${CMAKE_INSTALL_PREFIX}/${KALVIX_${dir}}")
  endif()
endforeach()

# One argument of an Exec line: quoted, with the characters that are special inside the
# quotes escaped, then escaped once more as a desktop-entry string value.
function(exec_argument out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "`" "\\`" text "${text}")
  string(REPLACE "$" "\\$" text "${text}")
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "%" "%%" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

set(program "${full_BINDIR}/kalvix")
set(client "${full_DATADIR}/kalvix/demo/kalvix-client.json")
exec_argument(program_arg "${program}")
exec_argument(client_arg "KALVIX_CLIENT=${client}")
string(REPLACE "\\" "\\\\" program_value "${program}")
# In the folders on every PATH the bare name serves, as distributions write it.
if(full_BINDIR STREQUAL "/usr/bin" OR full_BINDIR STREQUAL "/usr/local/bin")
  set(program_arg "kalvix")
  set(program_value "kalvix")
endif()

file(READ "${KALVIX_DESKTOP_SOURCE}" entry)
string(REPLACE "\nExec=kalvix %F\n" "\nExec=${program_arg} %F\n" entry "${entry}")
string(REPLACE "\nTryExec=kalvix\n" "\nTryExec=${program_value}\n" entry "${entry}")
string(REPLACE "\nExec=env KALVIX_CLIENT=share/kalvix/demo/kalvix-client.json kalvix\n"
               "\nExec=env ${client_arg} ${program_arg}\n" entry "${entry}")
# Desktops look up a bare icon name only in the usual data folders.
if(NOT full_DATADIR STREQUAL "/usr/share" AND NOT full_DATADIR STREQUAL "/usr/local/share")
  string(REPLACE "\\" "\\\\" icon_value "${full_DATADIR}/icons/hicolor/scalable/apps/kalvix.svg")
  string(REPLACE "\nIcon=kalvix\n" "\nIcon=${icon_value}\n" entry "${entry}")
endif()
# One work file per destination: a package build and an install may run at once.
string(MD5 destination "$ENV{DESTDIR}${full_DATADIR}")
set(work "${KALVIX_DESKTOP_WORK_DIR}/desktop-${destination}/example.dellmar.Kalvix.desktop")
file(WRITE "${work}" "${entry}")
file(INSTALL DESTINATION "${full_DATADIR}/applications" TYPE FILE FILES "${work}")
