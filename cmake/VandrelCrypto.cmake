# OpenSSL's libcrypto, the cryptography of releases (SHA-256 of every file,
# Ed25519 signatures), as Vandrel::Crypto: the system's on Linux; when
# cross-building for Windows, the static build of scripts/windows-openssl.sh
# found at VANDREL_WINDOWS_OPENSSL.
set(VANDREL_WINDOWS_OPENSSL "$ENV{VANDREL_WINDOWS_OPENSSL}" CACHE PATH "Prefix of the static OpenSSL for Windows")
add_library(vandrel_crypto INTERFACE)
add_library(Vandrel::Crypto ALIAS vandrel_crypto)
if(CMAKE_CROSSCOMPILING AND WIN32)
    if(NOT EXISTS "${VANDREL_WINDOWS_OPENSSL}/lib/libcrypto.a")
        message(FATAL_ERROR "No static libcrypto at VANDREL_WINDOWS_OPENSSL=\"${VANDREL_WINDOWS_OPENSSL}\" "
                            "(scripts/windows-openssl.sh builds one)")
    endif()
    target_include_directories(vandrel_crypto SYSTEM INTERFACE "${VANDREL_WINDOWS_OPENSSL}/include")
    # What the static library calls in Windows itself: sockets, the
    # certificate store, and the system's random numbers.
    target_link_libraries(vandrel_crypto INTERFACE "${VANDREL_WINDOWS_OPENSSL}/lib/libcrypto.a"
                          ws2_32 crypt32 bcrypt advapi32 user32)
else()
    # Ed25519 through the EVP interface and the SHA instructions of newer
    # processors both need OpenSSL 3.
    find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
    target_link_libraries(vandrel_crypto INTERFACE OpenSSL::Crypto)
endif()
