# fw_precompile(<target> [TESTS] [NO_WIDGETS])
# Most units of the windowed subsystems and of the tests spend more time
# reading the Qt (and GoogleTest) headers than compiling their own code; the
# headers they share are read once per target instead. Only outside headers
# go in: our own stay in each unit's include list, so a unit still says what
# it uses and still builds without this (-DFW_PCH=OFF).
option(FW_PCH "Precompile the outside headers most units include" ON)

function(fw_precompile target)
  if(NOT FW_PCH)
    return()
  endif()
  cmake_parse_arguments(ARG "TESTS;NO_WIDGETS" "" "" ${ARGN})
  set(headers <algorithm> <cstdint> <functional> <map> <memory> <string> <vector>)
  if(NOT ARG_NO_WIDGETS)
    list(APPEND headers <QApplication> <QImage> <QLabel> <QPainter> <QPushButton> <QString> <QTimer> <QWidget>)
  endif()
  if(ARG_TESTS)
    list(APPEND headers <gtest/gtest.h>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
