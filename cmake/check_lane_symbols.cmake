# Fails if an object built for a wider lane target defines an external symbol
# that another member of the library defines too: the linker might then let
# the wider copy serve the baseline's callers.
# Run as: cmake -DNM=nm -DLIBRARY=lib.a -DWIDE=a.o,b.o -P check_lane_symbols.cmake
function(defined_symbols out)
  execute_process(COMMAND ${NM} --defined-only --extern-only --format=posix ${ARGN}
    OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} failed on ${ARGN}")
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  set(symbols "")
  foreach(line IN LISTS lines)
    # "name type value size"; member headers end with ':' and have no type. Data that is the
    # same in every object is no clash: DW.ref.* (the pointer to the exception personality
    # routine) and type information with its name (_ZTI, _ZTS; the sanitizers emit them).
    if(line MATCHES "^([^ ]+) [A-Za-z] ")
      set(symbol "${CMAKE_MATCH_1}")
      if(NOT symbol MATCHES "^(DW\\.ref\\.|_ZTI|_ZTS)")
        list(APPEND symbols "${symbol}")
      endif()
    endif()
  endforeach()
  set(${out} "${symbols}" PARENT_SCOPE)
endfunction()

string(REPLACE "," ";" WIDE "${WIDE}")
defined_symbols(wide ${WIDE})
list(REMOVE_DUPLICATES wide)
defined_symbols(everything ${LIBRARY})
set(clashes "")
foreach(symbol IN LISTS wide)
  # The wide object is a member too: a second definition anywhere is a clash.
  string(REGEX REPLACE "([][+.*()^$?|\\\\])" "\\\\\\1" pattern "${symbol}")
  set(copies ${everything})
  list(FILTER copies INCLUDE REGEX "^${pattern}$")
  list(LENGTH copies count)
  if(count GREATER 1)
    list(APPEND clashes "${symbol}")
  endif()
endforeach()
if(clashes)
  list(JOIN clashes "\n  " listed)
  message(FATAL_ERROR "wider lane objects define symbols that other objects define too:\n  ${listed}")
endif()
