# The four OpenCV modules the project uses, as the targets opencv_core, opencv_imgproc,
# opencv_imgcodecs and opencv_videoio.
#
# OpenCV's own CMake package comes with Debian's libopencv-dev, which also pulls in VTK and
# every contrib module. The module packages (libopencv-core-dev, ...) carry the headers and
# libraries but no package file; where OpenCV's package is missing, the targets are made from
# those files.
find_package(OpenCV 4 QUIET COMPONENTS core imgproc imgcodecs videoio)
if(OpenCV_FOUND)
  return()
endif()

find_path(QUENDRA_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
set(dependencies "")
foreach(module core imgproc imgcodecs videoio)
  find_library(QUENDRA_OPENCV_${module} opencv_${module} REQUIRED)
  add_library(opencv_${module} SHARED IMPORTED)
  set_target_properties(opencv_${module} PROPERTIES
    IMPORTED_LOCATION ${QUENDRA_OPENCV_${module}}
    INTERFACE_INCLUDE_DIRECTORIES ${QUENDRA_OPENCV_INCLUDE_DIR})
  set_target_properties(opencv_${module} PROPERTIES INTERFACE_LINK_LIBRARIES "${dependencies}")
  list(APPEND dependencies opencv_${module})
endforeach()
message(STATUS "OpenCV modules: ${QUENDRA_OPENCV_INCLUDE_DIR}")
