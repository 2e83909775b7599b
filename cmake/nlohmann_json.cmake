# nlohmann-json (Debian: nlohmann-json3-dev) is header-only. Its folder alone becomes an include
# root of its own, so a module that links kelvartix_nlohmann_json sees "nlohmann/json.hpp" and no
# other header of the build machine: the Windows cross build uses the same headers, found outside
# its MinGW search root.
find_path(KELVARTIX_NLOHMANN_JSON_ROOT nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(KELVARTIX_NLOHMANN_JSON_INCLUDE ${PROJECT_BINARY_DIR}/include_roots/nlohmann_json)
kelvartix_link_folder(${KELVARTIX_NLOHMANN_JSON_INCLUDE}/nlohmann ${KELVARTIX_NLOHMANN_JSON_ROOT}/nlohmann)
add_library(kelvartix_nlohmann_json INTERFACE)
target_include_directories(kelvartix_nlohmann_json SYSTEM INTERFACE $<BUILD_INTERFACE:${KELVARTIX_NLOHMANN_JSON_INCLUDE}>)
