# Fails when EXE imports a function that takes or returns text in the
# system's ANSI code page: the ...A twin of a Windows function, or a C
# runtime function that takes a file name or the environment as narrow text.
# Through them a name outside the code page turns into another name
# (best-fit: "José" becomes "Jose") or into '?'. The programs hold UTF-8 and
# call the W functions; what stays is listed below with its reason.
#   cmake -DOBJDUMP=... -DEXE=... -P check-wide-imports.cmake
cmake_minimum_required(VERSION 3.25)

# Imported by the runtime libraries that are linked in statically, never
# with a text of ours.
set(allowed
  GetModuleHandleA      # C runtime start-up: its own module (a NULL name)
  GetStartupInfoA       # C runtime start-up: the window-show flag; no text read
  __getmainargs         # C runtime start-up: a narrow argv nothing uses (the entry points are the wide ones)
  __p__acmdln           # the same, the narrow command line
  CreateEventA          # winpthreads (std::thread, std::mutex): events without a name (NULL)
  CreateSemaphoreA      # winpthreads: semaphores without a name (NULL)
  OutputDebugStringA    # winpthreads: its own fixed ASCII traces
  FormatMessageA        # libstdc++: std::system_error's what(), which the programs never show (they show the code)
  LoadLibraryA          # MinGW's delay-load helper: the DLL names of the import data, ASCII system DLL names
)
# C runtime functions that take a file name or the environment as narrow text.
set(narrow_crt fopen freopen _open _sopen _stat _stat32 _stat64 _stati64 _access _mkdir _rmdir _chdir _getcwd
  remove rename _unlink getenv _putenv system _popen _spawnl _spawnv _execv)

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${EXE}")
endif()
# Every member of every import table: "<vma> <hint> <name>" lines after a
# "DLL Name:" line.
string(REGEX MATCHALL "\n[\t ]+[0-9a-fA-F]+[\t ]+[0-9]+[\t ]+[A-Za-z_][A-Za-z0-9_@]*" members "${dump}")
if(NOT members)
  message(FATAL_ERROR "${EXE}: no imported functions found; is it a Windows program?")
endif()
set(narrow "")
foreach(line IN LISTS members)
  string(REGEX REPLACE ".*[\t ]([A-Za-z_][A-Za-z0-9_@]*)$" "\\1" name "${line}")
  if(name IN_LIST allowed)
    continue()
  endif()
  # GetFileAttributesA, LoadLibraryExA, RegQueryValueExA, SHGetPathFromIDListA
  if(name MATCHES "[a-z0-9]A$" OR name MATCHES "[A-Z][a-z]*ExA$" OR name IN_LIST narrow_crt)
    list(APPEND narrow "${name}")
  endif()
endforeach()
if(narrow)
  list(REMOVE_DUPLICATES narrow)
  # One name a line, indented: message() keeps such lines as they are.
  list(JOIN narrow "\n  " narrow)
  message(FATAL_ERROR "${EXE} imports functions that take or return text in the ANSI code page:\n  ${narrow}")
endif()
message(STATUS "${EXE}: no ANSI text functions")
