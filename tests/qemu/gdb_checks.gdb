# boot.sh --gdb-batch's checks of a debugging session, run after the command file has stopped
# the module at OemInitComEntry; gdb_test.sh judges the output.
# The stop is at the entry's first instruction, the start of its first source line.
info line *$pc
break DebugPrint
break FormatTextV
continue
# Link-time optimisation makes the banner a constant inside DebugPrint, so its Format
# parameter has no location; the banner is the format DebugPrint passes to FormatTextV.
info args
continue
bt
print Format
delete
up 2
finish
