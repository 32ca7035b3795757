# Fails when EXE may load a DLL from elsewhere than the system folder.
# SETUP.EXE runs elevated from a folder it does not own (a medium, a
# downloads folder), updpkg.exe in folders full of other people's files.
# What a program imports statically is loaded, with everything that DLL
# imports in turn, before the program's first line, by the default search
# order, which looks beside the program first (cmake/system-dlls.cmake).
#
# - The import table may name only what the C runtime needs before the
#   program's first line, and nothing else:
#     kernel32  the C runtime's start-up, and SetDefaultDllDirectories
#     msvcrt    the C runtime itself
#   Both are known DLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session
#   Manager\KnownDLLs): Windows maps them from the system folder, and what
#   they import is known DLLs too.
# - The delay-import table may name system DLLs alone: they are loaded at
#   their first use, after the search was restricted to the system folder.
# - The load configuration must ask for the imports' own imports from the
#   system folder alone (DependentLoadFlags = LOAD_LIBRARY_SEARCH_SYSTEM32,
#   which Windows 10 1607 and later apply).
#   cmake -DOBJDUMP=... -DEXE=... -P check-imports.cmake
cmake_minimum_required(VERSION 3.25)
set(static_dlls kernel32 msvcrt)
set(system_dlls advapi32 bcrypt comctl32 comdlg32 gdi32 imm32 ole32 oleaut32 shell32 shlwapi
    user32 version ws2_32)
set(LOAD_LIBRARY_SEARCH_SYSTEM32 2048)

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${EXE}")
endif()

# The static imports.
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "${EXE}: no imports found; is it a Windows program?")
endif()
set(foreign "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" name)
  string(REGEX REPLACE "\\.dll$" "" name "${name}")
  if(NOT name IN_LIST static_dlls)
    list(APPEND foreign "${dll}")
  endif()
endforeach()
if(foreign)
  # One name a line, indented: message() keeps such lines as they are,
  # however long the program's path makes the text above them.
  list(JOIN foreign "\n  " foreign)
  message(FATAL_ERROR "${EXE} imports DLLs that may be taken from beside it:\n  ${foreign}")
endif()

# objdump 2.40 shows the data directories but not what the load
# configuration and the delay imports hold: they are read from the file
# through the section table.
string(REGEX MATCH "ImageBase[\t ]+([0-9a-fA-F]+)" _ "${dump}")
set(image_base "0x${CMAKE_MATCH_1}")
execute_process(COMMAND ${OBJDUMP} -h ${EXE} OUTPUT_VARIABLE headers)
string(REGEX MATCHALL "\n *[0-9]+ [^ \n]+ +[0-9a-f]+ +[0-9a-f]+ +[0-9a-f]+ +[0-9a-f]+" sections "${headers}")

# Sets out to the bytes at rva as hex pairs: length bytes, fewer where the
# section ends first, "" when the RVA lies in no section of the file.
function(read_rva rva length out)
  set(${out} "" PARENT_SCOPE)
  foreach(s IN LISTS sections)
    string(REGEX MATCH "([0-9a-f]+) +([0-9a-f]+) +[0-9a-f]+ +([0-9a-f]+)$" _ "${s}")
    math(EXPR size "0x${CMAKE_MATCH_1}")
    math(EXPR start "0x${CMAKE_MATCH_2} - ${image_base}")
    math(EXPR offset "0x${CMAKE_MATCH_3}")
    math(EXPR end "${start} + ${size}")
    if(rva GREATER_EQUAL start AND rva LESS end)
      math(EXPR at "${offset} + ${rva} - ${start}")
      math(EXPR left "${end} - ${rva}")
      if(length GREATER left)
        set(length ${left})
      endif()
      file(READ ${EXE} hex OFFSET ${at} LIMIT ${length} HEX)
      set(${out} "${hex}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

# A little-endian number of the hex pairs at byte offset at, width bytes.
function(number hex at width out)
  set(value "")
  foreach(i RANGE 1 ${width})
    math(EXPR pos "(${at} + ${width} - ${i}) * 2")
    string(SUBSTRING "${hex}" ${pos} 2 pair)
    string(APPEND value "${pair}")
  endforeach()
  math(EXPR value "0x${value}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

function(directory name out_rva out_size)
  string(REGEX MATCH "Entry [0-9a-f] ([0-9a-f]+) ([0-9a-f]+) ${name}" _ "${dump}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "${EXE}: objdump shows no ${name}")
  endif()
  math(EXPR rva "0x${CMAKE_MATCH_1}")
  math(EXPR size "0x${CMAKE_MATCH_2}")
  set(${out_rva} ${rva} PARENT_SCOPE)
  set(${out_size} ${size} PARENT_SCOPE)
endfunction()

# The delay imports: 32-byte descriptors up to a zero one, each with the
# RVA of its DLL's name at byte 4.
directory("Delay Import Directory" rva size)
set(delayed "")
set(foreign "")
if(size GREATER 0)
  read_rva(${rva} ${size} table)
  string(LENGTH "${table}" got)
  math(EXPR want "${size} * 2")
  if(NOT got EQUAL want)
    message(FATAL_ERROR "${EXE}: the delay-import directory lies outside the file")
  endif()
  math(EXPR count "${size} / 32 - 1")
  foreach(i RANGE 1 ${count})
    math(EXPR at "(${i} - 1) * 32")
    number("${table}" ${at} 4 attributes)
    math(EXPR at "${at} + 4")
    number("${table}" ${at} 4 name_rva)
    if(NOT attributes EQUAL 1 OR name_rva EQUAL 0)
      message(FATAL_ERROR "${EXE}: delay-import descriptor ${i} is not one of RVAs")
    endif()
    # The name, up to its zero byte (system DLLs' names are short).
    read_rva(${name_rva} 32 name_hex)
    set(dll "")
    while(name_hex AND NOT name_hex MATCHES "^00")
      string(SUBSTRING "${name_hex}" 0 2 pair)
      string(SUBSTRING "${name_hex}" 2 -1 name_hex)
      math(EXPR code "0x${pair}")
      string(ASCII ${code} ch)
      string(APPEND dll "${ch}")
    endwhile()
    list(APPEND delayed "${dll}")
    string(TOLOWER "${dll}" name)
    string(REGEX REPLACE "\\.dll$" "" name "${name}")
    if(NOT name IN_LIST system_dlls)
      list(APPEND foreign "${dll}")
    endif()
  endforeach()
endif()
if(foreign)
  # One name a line, indented: message() keeps such lines as they are,
  # however long the program's path makes the text above them.
  list(JOIN foreign "\n  " foreign)
  message(FATAL_ERROR "${EXE} delay-loads DLLs that are no system DLLs:\n  ${foreign}")
endif()

# The load configuration: Size first, DependentLoadFlags at byte 0x36
# (32-bit) or 0x4E (64-bit).
directory("Load Configuration Directory" rva size)
if(size EQUAL 0)
  message(FATAL_ERROR "${EXE} has no load configuration")
endif()
read_rva(${rva} ${size} config)
string(LENGTH "${config}" got)
math(EXPR want "${size} * 2")
if(NOT got EQUAL want)
  message(FATAL_ERROR "${EXE}: the load configuration lies outside the file")
endif()
if(dump MATCHES "Magic[\t ]+020b")
  set(flags_at 78)
else()
  set(flags_at 54)
endif()
number("${config}" 0 4 config_size)
math(EXPR needed "${flags_at} + 2")
if(NOT config_size EQUAL size OR size LESS needed)
  message(FATAL_ERROR "${EXE}: the load configuration states ${config_size} bytes, its directory ${size}")
endif()
number("${config}" ${flags_at} 2 flags)
if(NOT flags EQUAL LOAD_LIBRARY_SEARCH_SYSTEM32)
  message(FATAL_ERROR "${EXE}: DependentLoadFlags is ${flags}, not LOAD_LIBRARY_SEARCH_SYSTEM32")
endif()
list(JOIN delayed ", " delayed)
message(STATUS "${EXE}: imports kernel32 and msvcrt, delay-loads [${delayed}], "
               "the imports' own imports from the system folder")
