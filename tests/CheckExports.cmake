# Fails unless BMPFFrame is the only function the shared library exports:
# everything of the image library must stay hidden.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ [TtWi] [^\n]+" functions "${symbols}")
set(names "")
foreach(line IN LISTS functions)
  string(REGEX REPLACE "^[0-9a-fA-F]+ [TtWi] " "" name "${line}")
  list(APPEND names ${name})
endforeach()
if(NOT names STREQUAL "BMPFFrame")
  message(FATAL_ERROR "exported functions: '${names}', expected only BMPFFrame\n${symbols}")
endif()
message(STATUS "only BMPFFrame is exported")
