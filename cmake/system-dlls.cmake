# The system DLLs of the Windows programs, and how the two shipped programs
# load them.
#
# SETUP.EXE runs elevated from a folder it does not own (a medium, a
# downloads folder); updpkg.exe runs in folders full of other people's
# files. A DLL imported the ordinary way is loaded, with every DLL it imports
# in turn, before the program's first line, by the default search order,
# which looks beside the program first: Wine's user32 imports version.dll,
# and a version.dll beside the program was loaded that way. So these two
# programs import only what the C runtime needs before any of their code
# runs, kernel32 and msvcrt, and every other system DLL through a delay-load
# library: the DLL is loaded at the first call of one of its functions, by
# the delay-load helper (__delayLoadHelper2, in MinGW-w64's libmingwex) with
# LoadLibraryA, which by then searches the system folder alone, for the DLL
# and for what it imports in turn (platform::RestrictDllSearch runs before
# the first static constructor; where SetDefaultDllDirectories is missing,
# Windows 7 without KB2533623, all but bcrypt are known DLLs or side by
# side). Loaded by name, comctl32 still binds to version 6 through the
# manifest's activation context. A DLL or function that is missing ends the
# program with the helper's exception at the first call; none of these is
# missing from a supported Windows. cmake/check-imports.cmake holds the
# programs to all this.
#
# Each delay-load library is made at build time by dlltool from a module
# definition that cmake/delay_import_def.py writes from the toolchain's own
# import library: the same functions under the same names, and the same
# bytes from the same toolchain. dlltool runs in the output folder with
# relative names, since it names its symbols after its output file.
#
# ld drops the code of an import-library member whose symbol nothing calls
# directly: the jump through the import slot, which code declared dllimport
# (all of Windows' headers) does not need. In a delay-load library that code
# also holds the stub that the slot points to until the first call, and
# without it the slot is zero. The members' code is therefore marked as
# data (in a .text$ section, so it still lies in .text, after the
# descriptors): ld keeps it.
#
# On x86-64, binutils 2.40's delay-load thunk keeps the integer argument
# registers across the helper but not xmm0-3: a delay-loaded function must
# not take a floating-point value among its first four arguments (none that
# the programs call does).
#
# The libraries that call system DLLs link upd_system_dlls, which gives a
# program the ordinary import libraries unless upd_strict_dll_loading was
# called for it: the tests keep the ordinary imports, only the shipped
# programs are strict.
if(NOT WIN32)
  return()
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# bcrypt.dll: the system's hashing (CNG), for a coming change; a library
# nobody calls costs nothing.
set(UPD_DELAYED_DLLS user32 gdi32 advapi32 shell32 ole32 comctl32 bcrypt)
set(delay_dir ${CMAKE_BINARY_DIR}/delayimp)
file(MAKE_DIRECTORY ${delay_dir})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(underscore 1)
else()
  set(underscore 0)
endif()
set(delay_libs "")
foreach(dll IN LISTS UPD_DELAYED_DLLS)
  find_library(UPD_IMPORT_LIB_${dll} NAMES ${dll} REQUIRED)
  set(lib ${delay_dir}/lib${dll}_delay.a)
  add_custom_command(OUTPUT ${lib}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/delay_import_def.py
            ${CMAKE_NM} ${UPD_IMPORT_LIB_${dll}} ${dll}.dll ${underscore} ${dll}.def
    COMMAND ${CMAKE_DLLTOOL} --input-def ${dll}.def --dllname ${dll}.dll --kill-at
            --output-delaylib lib${dll}_delay.a --temp-prefix ${dll}_delay --deterministic-libraries
    COMMAND ${CMAKE_OBJCOPY} --enable-deterministic-archives
            "--rename-section=.text=.text$dl,contents,alloc,load,readonly,data" lib${dll}_delay.a
    WORKING_DIRECTORY ${delay_dir}
    DEPENDS ${UPD_IMPORT_LIB_${dll}} ${CMAKE_SOURCE_DIR}/cmake/delay_import_def.py
    COMMENT "Making the delay-load library of ${dll}.dll"
    VERBATIM)
  list(APPEND delay_libs ${lib})
endforeach()
add_custom_target(upd_delay_import_libs DEPENDS ${delay_libs})

add_library(upd_system_dlls INTERFACE)
# Two conditions rather than one $<IF>: the paths may hold commas, which
# only a condition's content takes as they are.
set(strict "$<BOOL:$<TARGET_PROPERTY:UPD_STRICT_DLL_LOADING>>")
target_link_libraries(upd_system_dlls INTERFACE
  "$<${strict}:${delay_libs}>" "$<$<NOT:${strict}>:${UPD_DELAYED_DLLS}>"
  kernel32)

# Makes target one of the strict programs: delay-load libraries in the place
# of the import libraries, its load configuration (platform/load_config_win.cpp)
# and, after the link, the data directories that ld 2.40 leaves empty
# (cmake/pe_load_directories.py). Call it before upd_ship_debug_beside, which
# strips the symbols that the last step reads.
function(upd_strict_dll_loading target)
  set_property(TARGET ${target} PROPERTY UPD_STRICT_DLL_LOADING ON)
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/platform/load_config_win.cpp)
  add_dependencies(${target} upd_delay_import_libs)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/pe_load_directories.py $<TARGET_FILE:${target}>
    COMMENT "Filling the load-configuration and delay-import directories of ${target}"
    VERBATIM)
endfunction()
