# libsodium, the cryptography of release signatures, as Vandrel::Sodium:
# pkg-config's libsodium on Linux; when cross-building for Windows, the static
# build of scripts/windows-sodium.sh found at VANDREL_WINDOWS_SODIUM.
set(VANDREL_WINDOWS_SODIUM "$ENV{VANDREL_WINDOWS_SODIUM}" CACHE PATH "Prefix of the static libsodium for Windows")
add_library(vandrel_sodium INTERFACE)
add_library(Vandrel::Sodium ALIAS vandrel_sodium)
if(CMAKE_CROSSCOMPILING AND WIN32)
    if(NOT EXISTS "${VANDREL_WINDOWS_SODIUM}/lib/libsodium.a")
        message(FATAL_ERROR "No static libsodium at VANDREL_WINDOWS_SODIUM=\"${VANDREL_WINDOWS_SODIUM}\" "
                            "(scripts/windows-sodium.sh builds one)")
    endif()
    target_include_directories(vandrel_sodium SYSTEM INTERFACE "${VANDREL_WINDOWS_SODIUM}/include")
    target_link_libraries(vandrel_sodium INTERFACE "${VANDREL_WINDOWS_SODIUM}/lib/libsodium.a")
    target_compile_definitions(vandrel_sodium INTERFACE SODIUM_STATIC)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
    target_link_libraries(vandrel_sodium INTERFACE PkgConfig::SODIUM)
endif()
