# Writes the manual page of sonvault-cli with help2man: the tool's --help as the page's body, and
# a COMMANDS section holding each command's --help.
# cmake -DTOOL=sonvault-cli -DHELP2MAN=help2man -DOUTPUT=sonvault-cli.1 -P ManPage.cmake

execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help failed: ${status}")
endif()
string(REGEX MATCH "Subcommands:\n(.*)" commands_text "${help}")
string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" commands "${commands_text}")
if(NOT commands)
  message(FATAL_ERROR "${TOOL} --help lists no commands")
endif()

set(include "[COMMANDS]\n")
foreach(line ${commands})
  string(STRIP "${line}" command)
  execute_process(COMMAND ${TOOL} ${command} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} ${command} --help failed: ${status}")
  endif()
  # As roff text: backslashes escaped, and no line read as a request.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(APPEND include ".SS ${command}\n.nf\n${text}\n.fi\n")
endforeach()

get_filename_component(folder ${OUTPUT} DIRECTORY)
file(WRITE ${folder}/sonvault-cli.h2m "${include}")
execute_process(
  COMMAND ${HELP2MAN} --no-info --section 1
          --name "browse, convert, export and render the music and sounds of Tarnholm"
          --include ${folder}/sonvault-cli.h2m --output ${OUTPUT} ${TOOL}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed: ${status}")
endif()
