# Compiles the help project into Help.chm (run with cmake -P by the help-chm
# target). The sources are UTF-8; the compiled help is all GBK, the code page of
# its language (0x804), because CHM readers decode the project title, the
# contents and the index names, and the topic titles found by the full-text
# search, with that code page:
# - Help.hhp, Help.hhc and Help.hhk are converted to GBK as they are;
# - each page is converted to GBK and its charset declaration changed to match;
# - other files (style sheet, pictures) are copied unchanged.
#
# Inputs: SOURCE_DIR, STAGE_DIR, FILES (relative to SOURCE_DIR, ';'-separated,
# passed with '|' instead of ';'), CHMCMD, ICONV, OUTPUTS ('|'-separated).

string(REPLACE "|" ";" FILES "${FILES}")
string(REPLACE "|" ";" OUTPUTS "${OUTPUTS}")

file(REMOVE_RECURSE "${STAGE_DIR}")
file(MAKE_DIRECTORY "${STAGE_DIR}")

set(utf8_charset "content=\"text/html; charset=utf-8\"")
set(gbk_charset "content=\"text/html; charset=gb2312\"")

foreach(name IN LISTS FILES)
    set(source "${SOURCE_DIR}/${name}")
    set(staged "${STAGE_DIR}/${name}")
    get_filename_component(dir "${staged}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    if(name MATCHES "\\.(html|hhp|hhc|hhk)$")
        set(input "${source}")
        if(name MATCHES "\\.html$")
            file(READ "${source}" page)
            string(FIND "${page}" "${utf8_charset}" at)
            if(at EQUAL -1)
                message(FATAL_ERROR "${name}: the page must declare "
                    "<meta http-equiv=\"Content-Type\" ${utf8_charset}>")
            endif()
            string(REPLACE "${utf8_charset}" "${gbk_charset}" page "${page}")
            set(input "${staged}.utf8")
            file(WRITE "${input}" "${page}")
        endif()
        execute_process(COMMAND "${ICONV}" -f UTF-8 -t GBK "${input}"
            OUTPUT_FILE "${staged}" ERROR_VARIABLE err RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "${name}: cannot convert to GBK "
                "(a character outside GBK, or not UTF-8?): ${err}")
        endif()
        if(NOT input STREQUAL source)
            file(REMOVE "${input}")
        endif()
    else()
        file(COPY_FILE "${source}" "${staged}")
    endif()
endforeach()

execute_process(COMMAND "${CHMCMD}" Help.hhp
    WORKING_DIRECTORY "${STAGE_DIR}"
    OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT EXISTS "${STAGE_DIR}/Help.chm")
    message(FATAL_ERROR "chmcmd failed (${rc}):\n${log}")
endif()
# A warning (a missing file, a broken link, an unknown option) is a fault of
# the help sources: stop, so that it is fixed rather than shipped.
string(TOLOWER "${log}" lower)
if(lower MATCHES "warning|error|hint")
    message(FATAL_ERROR "chmcmd reported problems:\n${log}")
endif()

foreach(output IN LISTS OUTPUTS)
    get_filename_component(dir "${output}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${STAGE_DIR}/Help.chm" "${output}")
endforeach()
