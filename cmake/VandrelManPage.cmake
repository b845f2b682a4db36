# One man page, run by vandrel_add_man_page as 'cmake -P' with HELP2MAN, GZIP,
# PROGRAM, SUBCOMMAND (may be empty), PAGE, NAME, SEE_ALSO and OUTPUT:
# help2man on 'PROGRAM [SUBCOMMAND] --help', a little reshaping, then
# gzip -9n (no time stamp, so builds are reproducible).

set(page_source ${OUTPUT}.source)
set(include_file ${OUTPUT}.h2m)

list(REMOVE_ITEM SEE_ALSO ${PAGE})
list(TRANSFORM SEE_ALSO PREPEND ".BR ")
list(JOIN SEE_ALSO " (1),\n" see_also)
file(WRITE ${include_file} "[SEE ALSO]\n${see_also} (1)\n")

set(help_option --help)
if(SUBCOMMAND)
    # help2man hands the option to the shell, which splits it.
    set(help_option "${SUBCOMMAND} --help")
endif()
execute_process(
    COMMAND ${HELP2MAN} --no-info --name=${NAME} --help-option=${help_option} --version-option=--version
            --include=${include_file} --output=${page_source} ${PROGRAM}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed on ${PROGRAM} ${help_option}")
endif()

file(READ ${page_source} text)
if(SUBCOMMAND)
    # A command's page carries its own name.
    get_filename_component(program_name ${PROGRAM} NAME_WE)
    string(TOUPPER "${program_name}" program_title)
    string(TOUPPER "${PAGE}" page_title)
    string(REPLACE ".TH ${program_title} " ".TH ${page_title} " text "${text}")
    string(REPLACE "\n${program_name} \\- " "\n${PAGE} \\- " text "${text}")
else()
    # Where --help goes on with each command's own help (from its "Usage:"
    # line on), that part is left to the commands' pages.
    string(FIND "${text}" "\n.PP\nUsage: " commands_start)
    string(FIND "${text}" "\n.SH \"SEE ALSO\"" see_also_start)
    if(commands_start GREATER 0 AND see_also_start GREATER commands_start)
        string(SUBSTRING "${text}" 0 ${commands_start} head)
        string(SUBSTRING "${text}" ${see_also_start} -1 tail)
        set(text "${head}${tail}")
    endif()
endif()
# Example lines as written, one per line.
string(FIND "${text}" "\n.SH EXAMPLES\n" examples_start)
if(examples_start GREATER 0)
    string(SUBSTRING "${text}" 0 ${examples_start} head)
    math(EXPR examples_body "${examples_start} + 1")
    string(SUBSTRING "${text}" ${examples_body} -1 rest)
    string(FIND "${rest}" "\n.SH " next_section)
    if(next_section LESS 0)
        string(LENGTH "${rest}" next_section)
    endif()
    string(SUBSTRING "${rest}" 0 ${next_section} examples)
    string(SUBSTRING "${rest}" ${next_section} -1 tail)
    set(examples "\n${examples}")
    string(REGEX REPLACE "\n\\.(IP|HP|PP)" "" examples "${examples}")
    string(REPLACE "\n.SH EXAMPLES" "\n.SH EXAMPLES\n.nf\n.RS" examples "${examples}")
    set(text "${head}${examples}\n.RE\n.fi${tail}")
endif()
file(WRITE ${page_source} "${text}")

execute_process(COMMAND ${GZIP} -9nc ${page_source} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page_source}")
endif()
