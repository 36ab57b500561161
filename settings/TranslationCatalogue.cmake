# Writes the English catalogue of the code without Qt (OUTPUT, a C++ source)
# from Qt Linguist files (TS_FILES, separated by "|"): every finished message
# of every context. Runs at build time with `cmake -P`, so it needs nothing
# but CMake, also when the program is built for another system.
#
# lupdate writes one element per line and escapes "<" inside texts, so a text
# is everything between <source> and </source>. ";", "[" and "]" are swapped
# for markers while the file is split into CMake lists.

string(REPLACE "|" ";" ts_files "${TS_FILES}")
set(entries "")
set(count 0)

function(tx_unescape var text)
    # The markers first: every entity ends in ";", which is a marker by now.
    string(REPLACE "@TX_SEMI@" ";" text "${text}")
    string(REPLACE "@TX_OPEN@" "[" text "${text}")
    string(REPLACE "@TX_CLOSE@" "]" text "${text}")
    string(REPLACE "&lt;" "<" text "${text}")
    string(REPLACE "&gt;" ">" text "${text}")
    string(REPLACE "&quot;" "\"" text "${text}")
    string(REPLACE "&apos;" "'" text "${text}")
    string(REPLACE "&#x9;" "\t" text "${text}")
    string(REPLACE "&#xd;" "\r" text "${text}")
    string(REPLACE "&amp;" "&" text "${text}")
    if(text MATCHES "\\)tx\"")
        message(FATAL_ERROR "A text holds )tx\" and cannot be written as a raw string: ${text}")
    endif()
    set(${var} "${text}" PARENT_SCOPE)
endfunction()

foreach(ts IN LISTS ts_files)
    file(READ "${ts}" content)
    string(REPLACE ";" "@TX_SEMI@" content "${content}")
    string(REPLACE "[" "@TX_OPEN@" content "${content}")
    string(REPLACE "]" "@TX_CLOSE@" content "${content}")
    string(REPLACE "<context>" ";" contexts "${content}")
    list(POP_FRONT contexts)
    foreach(context IN LISTS contexts)
        if(NOT context MATCHES "<name>([^<]*)</name>")
            message(FATAL_ERROR "${ts}: a context without a name")
        endif()
        tx_unescape(name "${CMAKE_MATCH_1}")
        string(REPLACE "<message" ";" messages "${context}")
        list(POP_FRONT messages)
        foreach(msg IN LISTS messages)
            if(msg MATCHES "<translation type=" OR NOT msg MATCHES "<source>([^<]*)</source>")
                continue()  # unfinished, vanished or obsolete
            endif()
            tx_unescape(source "${CMAKE_MATCH_1}")
            if(NOT msg MATCHES "<translation>([^<]*)</translation>")
                continue()
            endif()
            tx_unescape(translation "${CMAKE_MATCH_1}")
            if(translation STREQUAL "")
                continue()
            endif()
            string(APPEND entries "    {R\"tx(${name})tx\", R\"tx(${source})tx\", R\"tx(${translation})tx\"},\n")
            math(EXPR count "${count} + 1")
        endforeach()
    endforeach()
endforeach()

set(text "// Generated from res/i18n by settings/TranslationCatalogue.cmake. Do not edit.
#include \"settings/TranslationCatalogue.h\"

namespace tx {

const CatalogueEntry kEnglishCatalogue[] = {
    {\"\", \"\", \"\"},
${entries}};
const size_t kEnglishCatalogueSize = sizeof(kEnglishCatalogue) / sizeof(kEnglishCatalogue[0]);

}  // namespace tx
")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
    if(old STREQUAL text)
        return()
    endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
