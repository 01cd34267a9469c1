# pkisim_devices: the simulated devices (keys, certificates, and the
# behaviour of the four request services).

add_library(pkisim_devices STATIC
  ${CMAKE_CURRENT_LIST_DIR}/cryptoHandles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cryptoEncoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cryptoKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cryptoSign.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cryptoCert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cryptoCsr.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceKeyDir.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceRequest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceDispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceOps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceOpsPin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceOpsApp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceOpsCert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceOpsSign.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceOpsEnroll.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deviceStore.cpp)
# tessera_catalogue.h: the methods to serve and the result codes the library acts on.
target_include_directories(pkisim_devices PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(pkisim_devices PUBLIC OpenSSL::Crypto nlohmann_json::nlohmann_json)
tessera_warnings(pkisim_devices)
