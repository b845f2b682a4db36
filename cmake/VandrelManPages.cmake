# Man pages. The command line's are written by hand under docs/man (a test
# checks that every option of each --help is in its page, and that groff reads
# them without a warning); they are compressed at build time.
#
# vandrel_add_written_man_page(FILE COMPONENT)
#   docs/man/FILE (e.g. vandrel-cli.1, VandrelSet.ini.5) as FILE.gz, installed
#   with COMPONENT under the section its name ends in.
#
# The window's page is made at build time by help2man from its own --help and
# --version. Not when cross-compiling (the program cannot run on the build
# machine) nor in sanitizer builds.
#
# vandrel_add_man_page(PAGE TARGET COMPONENT NAME [COMMAND command] [SEE_ALSO page...])
#   PAGE.1.gz from 'TARGET [command] --help', installed with COMPONENT; NAME
#   is the one-line summary, SEE_ALSO the related pages.

if(CMAKE_CROSSCOMPILING OR VANDREL_SANITIZE)
    set(vandrel_man_pages_default OFF)
else()
    set(vandrel_man_pages_default ON)
endif()
option(VANDREL_MAN_PAGES "Generate man pages with help2man" ${vandrel_man_pages_default})

if(VANDREL_MAN_PAGES)
    find_program(VANDREL_HELP2MAN help2man)
    find_program(VANDREL_GZIP gzip)
    if(NOT VANDREL_HELP2MAN OR NOT VANDREL_GZIP)
        message(WARNING "help2man or gzip not found: no man pages (scripts/install-deps.sh installs them)")
        set(VANDREL_MAN_PAGES OFF)
    endif()
endif()

function(vandrel_add_man_page page target component name)
    cmake_parse_arguments(ARG "" "COMMAND" "SEE_ALSO" ${ARGN})
    if(NOT VANDREL_MAN_PAGES)
        return()
    endif()
    set(output ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND}
            -DHELP2MAN=${VANDREL_HELP2MAN} -DGZIP=${VANDREL_GZIP}
            -DPROGRAM=$<TARGET_FILE:${target}> -DSUBCOMMAND=${ARG_COMMAND}
            -DPAGE=${page} -DNAME=${name} -DOUTPUT=${output}
            "-DSEE_ALSO=${ARG_SEE_ALSO}"
            -P ${PROJECT_SOURCE_DIR}/cmake/VandrelManPage.cmake
        DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/VandrelManPage.cmake
        COMMENT "Man page ${page}(1)"
        VERBATIM)
    add_custom_target(man-${page} ALL DEPENDS ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()

find_program(VANDREL_GZIP gzip)
function(vandrel_add_written_man_page file component)
    # Man pages go with the Linux install and packages only.
    if(NOT UNIX OR APPLE)
        return()
    endif()
    if(NOT VANDREL_GZIP)
        message(WARNING "gzip not found: man page ${file} is not installed")
        return()
    endif()
    string(REGEX MATCH "[0-9]$" section ${file})
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${file})
    set(output ${CMAKE_BINARY_DIR}/man/${file}.gz)
    # -n: no name or time stamp in the archive, so builds are reproducible.
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CMAKE_BINARY_DIR}/man/${file}
        COMMAND ${VANDREL_GZIP} -9nf ${CMAKE_BINARY_DIR}/man/${file}
        DEPENDS ${source}
        COMMENT "Man page ${file}"
        VERBATIM)
    string(MAKE_C_IDENTIFIER ${file} target_name)
    add_custom_target(man-${target_name} ALL DEPENDS ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endfunction()
