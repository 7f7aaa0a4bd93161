# Checks that a built Windows executable is a 64-bit GUI program that imports
# only DLLs every Windows 10/11 has (C and C++ runtimes and libjpeg-turbo are
# linked in). Run as: cmake -DOBJDUMP=... -DEXE=... [-DEXPECTED_PATH=...] -P
cmake_minimum_required(VERSION 3.25)

if(DEFINED EXPECTED_PATH AND NOT EXPECTED_PATH STREQUAL EXE)
  message(FATAL_ERROR "VELMORA_EXE given to tests (${EXPECTED_PATH}) is not the built file (${EXE})")
endif()
if(NOT EXISTS "${EXE}")
  message(FATAL_ERROR "${EXE} does not exist")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${EXE}")
endif()

set(errors "")
if(NOT dump MATCHES "Magic[ \t]+020b")
  string(APPEND errors "  not a PE32+ (64-bit) image\n")
endif()
if(NOT dump MATCHES "Subsystem[ \t]+00000002")
  string(APPEND errors "  subsystem is not Windows GUI\n")
endif()

# DLLs that ship with every Windows 10/11 (and the API sets that stand for
# parts of them).
set(system_dlls
  kernel32 user32 gdi32 gdiplus comctl32 comdlg32 shell32 shlwapi advapi32
  msimg32 dwmapi shcore ole32 oleaut32 uuid winmm uxtheme version mpr imm32
  msvcrt ucrtbase ws2_32 rpcrt4 bcrypt crypt32 ntdll setupapi winspool.drv
  powrprof userenv)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
set(names "")
foreach(line IN LISTS imports)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  list(APPEND names ${dll})
  string(TOLOWER "${dll}" lower)
  string(REGEX REPLACE "\\.dll$" "" base "${lower}")
  if(base IN_LIST system_dlls OR base MATCHES "^api-ms-win-")
    continue()
  endif()
  string(APPEND errors "  imports ${dll}, which is not a system DLL\n")
endforeach()

if(errors)
  message(FATAL_ERROR "${EXE}:\n${errors}")
endif()
list(JOIN names ", " names)
message(STATUS "${EXE}: PE32+, Windows GUI, imports ${names}")
