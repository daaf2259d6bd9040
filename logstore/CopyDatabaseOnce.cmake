# Gives the program folder the ready-made log database when it has none.
#   cmake -DFROM=... -DTO=... -P CopyDatabaseOnce.cmake
if(NOT EXISTS ${TO})
  file(COPY_FILE ${FROM} ${TO})
endif()
