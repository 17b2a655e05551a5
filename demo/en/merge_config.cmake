# The demo's configuration block with the translation's keys before its END.
file(READ ${BASE} base)
file(READ ${EXTRA} extra)
string(REGEX REPLACE "\nEND[\r\n]*$" "\n" base "${base}")
file(WRITE ${OUT} "${base}${extra}END\n")
