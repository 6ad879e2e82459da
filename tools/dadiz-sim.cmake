# dadiz-sim: simulated displays on a pseudo-terminal, for tests and demos.
# It keeps its own frame code and links only the number formats.
add_executable(dadiz-sim ${CMAKE_CURRENT_LIST_DIR}/sim/main.cpp ${CMAKE_CURRENT_LIST_DIR}/sim/SimDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim/SimDisplay.h)
dadiz_include_root(dadiz-sim tools/sim)
target_link_libraries(dadiz-sim PRIVATE dadiz_base)
install(TARGETS dadiz-sim RUNTIME DESTINATION bin)
