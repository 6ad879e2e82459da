# Address lists, JSON texts and the check of a configuration read back:
# dadizctl's pieces that dadiz-bridge shares.
set(DADIZ_PLAIN_SOURCES Addresses.cpp Addresses.h JsonText.cpp JsonText.h ReplyCompare.cpp ReplyCompare.h)
list(TRANSFORM DADIZ_PLAIN_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/ctl/)
add_library(dadiz_plain STATIC ${DADIZ_PLAIN_SOURCES})
dadiz_include_root(dadiz_plain tools/ctl)
target_link_libraries(dadiz_plain PUBLIC dadiz_protocol)

# dadizctl: the program's configuration files and display exchanges from a
# shell, with the program's own serial component, frames and record codec.
set(DADIZ_CTL_SOURCES CommandTable.cpp CommandTable.h Commands.cpp Commands.h Doctor.cpp
  Link.cpp Link.h Options.cpp Options.h Output.cpp Output.h Session.cpp Session.h main.cpp)
list(TRANSFORM DADIZ_CTL_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/ctl/)
add_executable(dadizctl ${DADIZ_CTL_SOURCES})
dadiz_include_root(dadizctl tools/ctl)
target_link_libraries(dadizctl PRIVATE dadiz_core dadiz_plain)
install(TARGETS dadizctl RUNTIME DESTINATION bin)
# The scan benchmark runs dadizctl and dadiz-sim; bench/ is read after tools/,
# so its target is given their paths once the whole project is known.
function(dadizctl_bench_paths)
  if(TARGET bench_ctl_scan)
    target_compile_definitions(bench_ctl_scan PRIVATE
      DADIZ_CTL_PATH="$<TARGET_FILE:dadizctl>" DADIZ_SIM_PATH="$<TARGET_FILE:dadiz-sim>")
    add_dependencies(bench_ctl_scan dadizctl dadiz-sim)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL dadizctl_bench_paths)
