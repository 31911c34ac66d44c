# Writes the type library's source from its template and the member list:
#   cmake -DCPP=<host cpp> -DINCLUDE=<driver/core> -DBODY=<ITrelmo.idl.h>
#         -DTEMPLATE=<TrelmoLib.idl.in> -DOUTPUT=<TrelmoLib.idl> -P GenerateIdl.cmake
# The output is UTF-8, as the sources are.
execute_process(COMMAND ${CPP} -P -undef -I${INCLUDE} ${BODY}
                OUTPUT_VARIABLE body ERROR_VARIABLE errors RESULT_VARIABLE failed)
if(failed OR errors)
  message(FATAL_ERROR "${CPP} failed on ${BODY}:\n${errors}")
endif()
string(REGEX REPLACE "[ \t\r\n]*@[ \t\r\n]*" "\n        " body "${body}")
string(STRIP "${body}" ITRELMO_BODY)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
