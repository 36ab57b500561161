# Compiles a help project into a CHM (run with cmake -P by the help-chm
# targets). The sources are UTF-8.
#
# ENCODING=GBK (the Chinese help): the compiled help is all GBK, the code page
# of its language (0x804), because CHM readers decode the project title, the
# contents and the index names, and the topic titles found by the full-text
# search, with that code page:
# - Help.hhp, Help.hhc and Help.hhk are converted to GBK as they are;
# - each page is converted to GBK and its charset declaration changed to match;
# - other files (style sheet, pictures) are copied unchanged.
# ENCODING=ASCII (the English help, language 0x409, code page 1252): the
# project, contents, index and pages must be plain ASCII (other characters as
# HTML entities), which reads the same in UTF-8 and in code page 1252; they are
# copied unchanged.
#
# Inputs: SOURCE_DIR, STAGE_DIR, FILES (relative to SOURCE_DIR, ';'-separated,
# passed with '|' instead of ';'), SHARED_DIR and SHARED_FILES (optional: more
# files, relative to SHARED_DIR, such as the pictures both helps show), MISSING
# (optional: pages named by the project but not written yet, left out of it;
# chmcmd's warnings about them are tolerated), CHM (the file Help.hhp's
# "Compiled file" names), ENCODING, CHMCMD, ICONV, OUTPUTS ('|'-separated).

string(REPLACE "|" ";" FILES "${FILES}")
string(REPLACE "|" ";" OUTPUTS "${OUTPUTS}")
string(REPLACE "|" ";" SHARED_FILES "${SHARED_FILES}")
string(REPLACE "|" ";" MISSING "${MISSING}")
if(NOT ENCODING STREQUAL "GBK" AND NOT ENCODING STREQUAL "ASCII")
    message(FATAL_ERROR "ENCODING must be GBK or ASCII, not '${ENCODING}'")
endif()

file(REMOVE_RECURSE "${STAGE_DIR}")
file(MAKE_DIRECTORY "${STAGE_DIR}")

set(utf8_charset "content=\"text/html; charset=utf-8\"")
set(gbk_charset "content=\"text/html; charset=gb2312\"")

foreach(name IN LISTS FILES)
    set(source "${SOURCE_DIR}/${name}")
    set(staged "${STAGE_DIR}/${name}")
    get_filename_component(dir "${staged}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    if(ENCODING STREQUAL "ASCII" AND name MATCHES "\\.(html|hhp|hhc|hhk)$")
        execute_process(COMMAND "${ICONV}" -f ASCII -t ASCII "${source}"
            OUTPUT_QUIET ERROR_VARIABLE err RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "${name}: not plain ASCII; write other characters "
                "as HTML entities (&times; &mdash; &#20013;): ${err}")
        endif()
        file(READ "${source}" text)
        if(name MATCHES "\\.html$")
            string(FIND "${text}" "${utf8_charset}" at)
            if(at EQUAL -1)
                message(FATAL_ERROR "${name}: the page must declare "
                    "<meta http-equiv=\"Content-Type\" ${utf8_charset}>")
            endif()
        endif()
        if(name MATCHES "\\.hhp$")
            # The pages not written yet are left out of the file list.
            foreach(page IN LISTS MISSING)
                string(REPLACE "\n${page}\n" "\n" text "${text}")
            endforeach()
        endif()
        file(WRITE "${staged}" "${text}")
    elseif(name MATCHES "\\.(html|hhp|hhc|hhk)$")
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

foreach(name IN LISTS SHARED_FILES)
    get_filename_component(dir "${STAGE_DIR}/${name}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SHARED_DIR}/${name}" "${STAGE_DIR}/${name}")
endforeach()

execute_process(COMMAND "${CHMCMD}" Help.hhp
    WORKING_DIRECTORY "${STAGE_DIR}"
    OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT EXISTS "${STAGE_DIR}/${CHM}")
    message(FATAL_ERROR "chmcmd failed (${rc}):\n${log}")
endif()
# A warning (a missing file, a broken link, an unknown option) is a fault of
# the help sources: stop, so that it is fixed rather than shipped. Only the
# links to pages not written yet (MISSING) are let through, each said once.
string(REPLACE ";" "," checked "${log}")
string(REPLACE "\n" ";" lines "${checked}")
set(problems)
set(awaited)
foreach(line IN LISTS lines)
    string(TOLOWER "${line}" lower)
    if(NOT lower MATCHES "warning|error|hint")
        continue()
    endif()
    set(known FALSE)
    foreach(page IN LISTS MISSING)
        if(line MATCHES "^Warning: Found file ${page} while scanning [^ ]+, but couldn't find it on disk$"
           OR line MATCHES "^Error: Anchor ${page}#[^ ]+ undefined, first use ")
            set(known TRUE)
            list(APPEND awaited "${page}")
        endif()
    endforeach()
    if(NOT known)
        list(APPEND problems "${line}")
    endif()
endforeach()
if(problems)
    list(JOIN problems "\n" problems)
    message(FATAL_ERROR "chmcmd reported problems:\n${problems}")
endif()
if(awaited)
    list(REMOVE_DUPLICATES awaited)
    list(JOIN awaited ", " awaited)
    message(STATUS "${CHM} is built without the pages not written yet: ${awaited}")
endif()

foreach(output IN LISTS OUTPUTS)
    get_filename_component(dir "${output}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${STAGE_DIR}/${CHM}" "${output}")
endforeach()
