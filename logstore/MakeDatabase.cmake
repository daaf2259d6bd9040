# Builds the ready-made log database from schema.sql with isql-fb, embedded
# (no server), into a scratch folder first so a failed script never leaves a
# half-made database in the program folder.
#   cmake -DISQL=... -DSCHEMA=... -DOUTPUT=... -DWORK=... -P MakeDatabase.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/lock)
set(ENV{FIREBIRD_LOCK} ${WORK}/lock)
set(ENV{FIREBIRD_TMP} ${WORK})
unset(ENV{FIREBIRD})
unset(ENV{ISC_USER})
unset(ENV{ISC_PASSWORD})
execute_process(
  COMMAND ${ISQL} -b -q -i ${SCHEMA}
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK}/RDSLOG.FDB)
  file(REMOVE_RECURSE ${WORK})
  message(FATAL_ERROR "schema.sql failed (${rc}):\n${out}${err}")
endif()
file(REMOVE ${OUTPUT})
file(RENAME ${WORK}/RDSLOG.FDB ${OUTPUT})
file(REMOVE_RECURSE ${WORK})
