# Parses the Qt and standard headers that most files of the libraries and
# programs include once per target instead of once per file, for a faster
# cold build. A build without it (the test command's Qt 5 leg, the Windows
# build) checks that every file names the headers it uses.
set(vandrel_common_headers
    <QByteArray> <QDateTime> <QDir> <QFile> <QFileInfo> <QIODevice> <QString> <QStringList> <QVector>
    <algorithm> <functional> <optional> <vector>)

function(vandrel_precompile_folder folder)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$")
            target_precompile_headers(${target} PRIVATE ${vandrel_common_headers})
        endif()
    endforeach()
endfunction()

# Every folder of a library or program that this build holds.
get_property(vandrel_folders DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
foreach(folder IN LISTS vandrel_folders)
    if(NOT folder MATCHES "/(tests|bench|fuzz)$")
        vandrel_precompile_folder(${folder})
    endif()
endforeach()
