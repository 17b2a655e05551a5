# Writes a man page from a program's --help text:
#   cmake -DPROGRAM=path -DNAME=velmora -DSUMMARY="..." -DOUT=file.1 -P manpage.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${rc})")
endif()
string(TIMESTAMP date "%Y-%m-%d" UTC)
# Backslashes and leading dots would be read as roff requests.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" upper)
file(WRITE ${OUT} ".TH ${upper} 1 \"${date}\" \"Velmora\" \"User Commands\"\n"
  ".SH NAME\n${NAME} \\- ${SUMMARY}\n"
  ".SH DESCRIPTION\n.nf\n${help}.fi\n"
  ".SH FILES\n.TP\n.I ~/.config/velmora/\nsettings, one file per game\n"
  ".TP\n.I GAME_DIR/save/\nsave slots and the global data of a game\n")
