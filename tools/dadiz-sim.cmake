# dadiz-sim: simulated displays on a pseudo-terminal, for tests and demos.
# It keeps its own frame code and links only the record's number formats.
file(GLOB DADIZ_SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/sim/*.cpp ${CMAKE_CURRENT_LIST_DIR}/sim/*.h)
add_executable(dadiz-sim ${DADIZ_SIM_SOURCES})
target_link_libraries(dadiz-sim PRIVATE dadiz_config)
set_target_properties(dadiz-sim PROPERTIES AUTOMOC OFF)
install(TARGETS dadiz-sim RUNTIME DESTINATION bin)
