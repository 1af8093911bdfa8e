# Runs the generator command GEN (a list) with its output into OUT and fails unless OUT
# equals the checked-in file WANT.
execute_process(COMMAND ${GEN} OUTPUT_FILE ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${GEN} failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${WANT} RESULT_VARIABLE diff)
if(NOT diff EQUAL 0)
  message(FATAL_ERROR "${WANT} is stale: regenerate it with ${GEN}")
endif()
