# Turns licence.txt into the string literals of the licence's STRINGTABLE
# entry: one literal per line, each line ending in CR LF.
#   cmake -DIN=licence.txt -DOUT=licence.str -P licence.cmake
# The agreement page loads the text into a buffer of 7000 characters, so the
# text with its CR LFs must stay below that, terminator included.
file(READ "${IN}" text)
string(REPLACE "\r" "" text "${text}")
if(NOT text MATCHES "\n$")
  message(FATAL_ERROR "${IN}: the last line must end in a line break")
endif()
# Single-byte text only: the string table is converted from code page 1252,
# and plain ASCII reads the same in every ANSI code page.
if(text MATCHES "[^ -~\n]")
  message(FATAL_ERROR "${IN}: only printable ASCII characters are allowed")
endif()
string(LENGTH "${text}" cch)
string(REGEX MATCHALL "\n" breaks "${text}")
list(LENGTH breaks lines)
math(EXPR cch "${cch} + ${lines}")
if(cch GREATER 6999)
  message(FATAL_ERROR "${IN}: ${cch} characters with CR LFs; the page holds 6999")
endif()
string(REPLACE "\\" "\\\\" text "${text}")
string(REPLACE "\"" "\"\"" text "${text}")
string(REGEX REPLACE "([^\n]*)\n" "    \"\\1\\\\r\\\\n\"\n" text "${text}")
file(WRITE "${OUT}.tmp" "// Made from licence.txt by licence.cmake: ${lines} lines, ${cch} characters.\n${text}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
