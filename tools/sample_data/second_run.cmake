# Runs the sample-data tool once more and compares what it wrote with the
# archive the build wrote: two runs must write the same bytes.
execute_process(COMMAND ${TOOL} ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "tessaline-sample-data failed: ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${OUTPUT} differs from ${EXPECTED}: a run is not the same as the one before")
endif()
