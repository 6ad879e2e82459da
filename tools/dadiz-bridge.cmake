# dadiz-bridge: the displays' readings on MQTT (libmosquitto) and Modbus TCP
# (libmodbus), on the display sessions and dadizctl's plain names.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MOSQUITTO REQUIRED IMPORTED_TARGET GLOBAL libmosquitto)
pkg_check_modules(MODBUS REQUIRED IMPORTED_TARGET GLOBAL libmodbus)
set(DADIZ_BRIDGE_SOURCES Bridge.cpp Bridge.h BridgeConfig.cpp BridgeConfig.h ConfigPayload.cpp ConfigPayload.h
  LineReader.cpp LineReader.h Modbus.cpp Modbus.h Mqtt.cpp Mqtt.h)
list(TRANSFORM DADIZ_BRIDGE_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/bridge/)
add_library(dadiz_bridge STATIC ${DADIZ_BRIDGE_SOURCES})
dadiz_include_root(dadiz_bridge tools/bridge)
target_link_libraries(dadiz_bridge PUBLIC dadiz_session dadiz_trend dadiz_plain PkgConfig::MOSQUITTO PkgConfig::MODBUS)
add_executable(dadiz-bridge ${CMAKE_CURRENT_LIST_DIR}/bridge/main.cpp)
target_link_libraries(dadiz-bridge PRIVATE dadiz_bridge)
install(TARGETS dadiz-bridge RUNTIME DESTINATION bin)
