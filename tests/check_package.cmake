# Builds the Debian package in BUILD and checks its contents and control fields.
execute_process(COMMAND cpack -G DEB WORKING_DIRECTORY ${BUILD} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${out}")
endif()
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(deb ${BUILD}/varno_${VERSION}_${arch}.deb)
if(NOT EXISTS ${deb})
  message(FATAL_ERROR "no ${deb}")
endif()

execute_process(COMMAND dpkg-deb -c ${deb} OUTPUT_VARIABLE contents RESULT_VARIABLE rc)
foreach(file
    ./usr/bin/varno ./usr/bin/varno-cli
    ./usr/share/applications/org.varno.varno.desktop
    ./usr/share/metainfo/org.varno.varno.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/org.varno.varno.svg
    ./usr/share/icons/hicolor/32x32/apps/org.varno.varno.png
    ./usr/share/man/man1/varno.1.gz ./usr/share/man/man1/varno-cli.1.gz)
  string(FIND "${contents}" " ${file}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks ${file}:\n${contents}")
  endif()
endforeach()

foreach(field Package Version Architecture Depends Section)
  execute_process(COMMAND dpkg-deb -f ${deb} ${field} OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${field} "${value}")
endforeach()
if(NOT Package STREQUAL "varno" OR NOT Version STREQUAL "${VERSION}" OR NOT Architecture STREQUAL "${arch}"
   OR NOT Section STREQUAL "math")
  message(FATAL_ERROR "control fields: ${Package} ${Version} ${Architecture} ${Section}")
endif()
# Computed from the binaries: the C library, Qt's widgets, charts and SVG
# at least.
foreach(library libc6 libqt6widgets6 libqt6charts6 libqt6svg6 libstdc++6)
  string(FIND "${Depends}" "${library}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "Depends lacks ${library}: ${Depends}")
  endif()
endforeach()
message(STATUS "${deb}: ${Depends}")
