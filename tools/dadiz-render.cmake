# dadiz-render: draws every window of the program in the four languages into PNG files.
qt_add_executable(dadiz-render ${CMAKE_CURRENT_LIST_DIR}/render/main.cpp)
target_link_libraries(dadiz-render PRIVATE dadiz_mainwindow dadiz_trendwindow)
# The doctor's pictures talk to dadiz-sim, started from beside it.
add_dependencies(dadiz-render dadiz-sim)
dadiz_use_pch(dadiz_pch_widgets dadiz-render)
