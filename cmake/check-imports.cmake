# Fails when EXE imports a DLL that Windows might take from elsewhere than
# the system folder. SETUP.EXE runs elevated from a folder it does not own
# (a medium, a downloads folder): a DLL it imports is looked for there first
# unless Windows always loads it from the system folder. Allowed are the
# known DLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs,
# and ntdll, which is always loaded first) and comctl32, which the manifest
# binds to the side-by-side Common Controls 6. Everything else (version.dll,
# for one) is loaded at run time from the system folder by full path.
#   cmake -DOBJDUMP=... -DEXE=... -P check-imports.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls advapi32 comctl32 comdlg32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32
    shell32 shlwapi user32 ws2_32 ntdll)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "${EXE}: no imports found; is it a Windows program?")
endif()
set(foreign "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" name)
  string(REGEX REPLACE "\\.dll$" "" name "${name}")
  if(NOT name IN_LIST system_dlls)
    list(APPEND foreign "${dll}")
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${EXE} imports DLLs that may be taken from beside it: ${foreign}")
endif()
message(STATUS "${EXE}: system DLLs only")
