# Delay-import libraries for the Windows builds. A program loads every DLL
# it imports, and runs each one's start-up code, before its first line; under
# Wine each costs milliseconds, the spooler's most (it asks CUPS for the
# printers). A DLL linked through its delay-import library is loaded at the
# first call of one of its functions instead, through the same DLL search as
# an import.
#
#   orvo_delay_import(<library> <dll file name>)
#
# defines the target delay_<library>, used in target_link_libraries in place
# of <library>. Its functions are those of mingw-w64's import library
# lib<library>.a, read with nm when configuring.
#
# GNU ld drops the code of an imported function that is only called through
# its import pointer (__declspec(dllimport)); for a delay-loaded function
# that pointer is then left null. The Windows builds therefore compile with
# DECLSPEC_IMPORT empty, so that calls go through that code, and
#
#   orvo_check_delay_imports(<target>)
#
# fails the link of <target> when a delay-loaded function lost it anyway
# (a library compiled elsewhere calling one, for example).
#
# The check runs as a script: cmake -DNM=... -DEXE=... -DDEFS=<folder> -P this file.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.20)
  execute_process(COMMAND ${NM} ${EXE} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} could not read ${EXE}")
  endif()
  # A function whose code was dropped shows as an absolute symbol at 0.
  string(REGEX MATCHALL "(^|\n)0+ A [^\n]+" dropped "${symbols}")
  file(GLOB defs ${DEFS}/*.def)
  set(delayed "")
  foreach(def IN LISTS defs)
    file(STRINGS ${def} names REGEX "^  ")
    list(TRANSFORM names STRIP)
    list(APPEND delayed ${names})
  endforeach()
  set(broken "")
  foreach(line IN LISTS dropped)
    string(REGEX REPLACE ".* A _?" "" name "${line}")
    if(name IN_LIST delayed)
      list(APPEND broken ${name})
    endif()
  endforeach()
  if(broken)
    message(FATAL_ERROR "${EXE}: delay-loaded functions called only through their import pointer: ${broken}")
  endif()
  return()
endif()

set(ORVO_DELAY_IMPORT_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(orvo_delay_import library dll)
  set(target delay_${library})
  if(TARGET ${target})
    return()
  endif()
  find_library(ORVO_IMPORT_LIB_${library} ${library} REQUIRED)
  set(implib ${ORVO_IMPORT_LIB_${library}})
  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${implib}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    message(FATAL_ERROR "${CMAKE_NM} could not read ${implib}")
  endif()
  # Each imported function has an import pointer "__imp_<symbol>" and a
  # thunk "<symbol>"; 32-bit symbols carry a leading underscore and, for
  # stdcall, "@<argument bytes>", which dlltool -k takes off the DLL's name.
  string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
  set(pointers "")
  set(thunks "")
  foreach(line IN LISTS lines)
    if(line MATCHES " I __imp_([^ ]+)$")
      list(APPEND pointers ${CMAKE_MATCH_1})
    elseif(line MATCHES " T ([^ ]+)$")
      list(APPEND thunks ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(exports "")
  foreach(symbol IN LISTS pointers)
    if(symbol IN_LIST thunks)
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "^_" "" symbol "${symbol}")
      endif()
      string(APPEND exports "  ${symbol}\n")
    endif()
  endforeach()
  if(exports STREQUAL "")
    message(FATAL_ERROR "no functions found in ${implib}")
  endif()
  set(def ${CMAKE_BINARY_DIR}/delay-import/${library}.def)
  set(out ${CMAKE_BINARY_DIR}/delay-import/lib${target}.a)
  set(content "LIBRARY \"${dll}\"\nEXPORTS\n${exports}")
  set(old "")
  if(EXISTS ${def})
    file(READ ${def} old)
  endif()
  if(NOT content STREQUAL old)
    file(WRITE ${def} "${content}")
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kill_at -k)
  else()
    set(kill_at "")
  endif()
  if(NOT EXISTS ${out} OR ${def} IS_NEWER_THAN ${out})
    execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def ${def} --dllname ${dll} --output-delaylib ${out}
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${CMAKE_DLLTOOL} could not write ${out}")
    endif()
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${out})
endfunction()

function(orvo_check_delay_imports target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DEXE=$<TARGET_FILE:${target}> -DDEFS=${CMAKE_BINARY_DIR}/delay-import
            -P ${ORVO_DELAY_IMPORT_SCRIPT}
    VERBATIM)
endfunction()
