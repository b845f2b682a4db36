# The hardening flags Debian builds its packages with: stack protector,
# fortified calls, position-independent executables, read-only relocations
# bound at start-up. Fortify needs optimisation and fights the sanitizers.
if(NOT UNIX OR APPLE)
    return()
endif()

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
if(NOT VANDREL_SANITIZE)
    add_compile_options($<$<OR:$<CONFIG:Release>,$<CONFIG:RelWithDebInfo>,$<CONFIG:MinSizeRel>>:-D_FORTIFY_SOURCE=2>)
endif()
add_link_options(-Wl,-z,relro -Wl,-z,now)
