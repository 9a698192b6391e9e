# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DPROGRAM=<executable> -DNAME=<name> -DSUMMARY=<text> -DVERSION=<v> -DOUTPUT=<file>
#   -P HelpManPage.cmake
# Writes a manual page around a program's own --help text, so the page says
# exactly what the program does and never drifts from it.
execute_process(COMMAND ${PROGRAM} --help
  OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${result}")
endif()
# roff: a backslash is written \e; a line may not start with a control character.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" title)
file(WRITE ${OUTPUT}
  ".TH ${title} 1 \"\" \"${NAME} ${VERSION}\" \"User Commands\"\n"
  ".SH NAME\n${NAME} \\- ${SUMMARY}\n"
  ".SH DESCRIPTION\n.nf\n${help}.fi\n")
