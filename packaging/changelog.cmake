# Writes Debian's changelog for the newest release in the metainfo: its version, its notes (each
# paragraph and list item one entry) and its date.
#   cmake -DMETAINFO=<metainfo.xml> -DMAINTAINER=<name <mail>> -DOUT=<changelog> -P changelog.cmake
file(READ "${METAINFO}" xml)
if(NOT xml MATCHES "<release version=\"([^\"]+)\" date=\"([0-9-]+)\">(.*)</release>")
    message(FATAL_ERROR "${METAINFO} has no release with a version, a date and notes")
endif()
set(version "${CMAKE_MATCH_1}")
set(date "${CMAKE_MATCH_2}")
string(REGEX REPLACE "</release>.*" "" notes "${CMAKE_MATCH_3}")
string(REGEX MATCHALL "<(p|li)>[^<]*</(p|li)>" items "${notes}")
set(entries "")
foreach(item IN LISTS items)
    string(REGEX REPLACE "</?(p|li)>" "" item "${item}")
    string(REGEX REPLACE "[ \n]+" " " item "${item}")
    string(STRIP "${item}" item)
    # Wrapped at 80 columns, as Debian's tools show it.
    string(REPLACE " " ";" words "${item}")
    set(line "  *")
    foreach(word IN LISTS words)
        string(LENGTH "${line} ${word}" length)
        if(length GREATER 80)
            string(APPEND entries "${line}\n")
            set(line "   ")
        endif()
        string(APPEND line " ${word}")
    endforeach()
    string(APPEND entries "${line}\n")
endforeach()
if(entries STREQUAL "")
    message(FATAL_ERROR "the release ${version} in ${METAINFO} has no notes")
endif()
# The release's own day, so the file is the same whenever it is built.
execute_process(COMMAND date -u -R -d "${date}" OUTPUT_VARIABLE when
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(WRITE "${OUT}" "tessarel (${version}) unstable; urgency=medium\n\n"
                   "${entries}\n -- ${MAINTAINER}  ${when}\n")
