# Writes one manual page from a built program's --help and --version, in
# English, with help2man; INCLUDE adds the sections --help has no room for.
#   cmake -DHELP2MAN=... -DPROGRAM=... -DNAME=... -DINCLUDE=... -DDATE=... -DOUTPUT=... -P help2man.cmake
foreach(var HELP2MAN PROGRAM NAME INCLUDE DATE OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "help2man.cmake: ${var} is not set")
  endif()
endforeach()

# help2man sets LC_ALL for the program it runs and drops LANGUAGE; the
# programs speak English when asked for it, so a wrapper asks.
set(wrapper ${OUTPUT}.program)
file(WRITE ${wrapper} "#!/bin/sh\nLANGUAGE=en LC_ALL=C.UTF-8 exec '${PROGRAM}' \"$@\"\n")
file(CHMOD ${wrapper} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
# A sanitizer build must not fail the page over a leak at exit.
set(ENV{ASAN_OPTIONS} detect_leaks=0)
execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --locale=C.UTF-8 --name=${NAME} --include=${INCLUDE}
          --output=${OUTPUT}.tmp ${wrapper}
  RESULT_VARIABLE status)
file(REMOVE ${wrapper})
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()

file(READ ${OUTPUT}.tmp page)
file(REMOVE ${OUTPUT}.tmp)
# The release date instead of the day of the build, so a rebuild makes the
# same page.
string(REGEX REPLACE "(\n\\.TH [^ ]+ \"1\") \"[^\"]*\"" "\\1 \"${DATE}\"" page "${page}")
# The exit statuses are a section of their own, not a part of the options.
string(REPLACE ".SS \"Exit status:\"" ".SH \"EXIT STATUS\"" page "${page}")
file(WRITE ${OUTPUT} "${page}")
