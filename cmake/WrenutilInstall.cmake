# Installation: both shared libraries, the headers under include/wrenutil/,
# a CMake package (find_package(wrenutil)) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS wrenutil_platform wrenutil EXPORT wrenutilTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The installed include folder mirrors the source root, which is the one
# include root of the build: platform/common/kzdata.h, wrenutil/tools.h,
# common/include/utilcore.h, ... below include/wrenutil/; the umbrella header
# is <wrenutil/wrenutil.h>.
foreach(dir platform wrenutil common include)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wrenutil/${dir}
    FILES_MATCHING PATTERN "*.h"
    PATTERN "internal" EXCLUDE PATTERN "*_internal.h" EXCLUDE PATTERN "testing" EXCLUDE)
endforeach()

install(EXPORT wrenutilTargets NAMESPACE wrenutil::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/wrenutil)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/wrenutilConfig.cmake.in
  ${PROJECT_BINARY_DIR}/wrenutilConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/wrenutil)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/wrenutilConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/wrenutilConfig.cmake
  ${PROJECT_BINARY_DIR}/wrenutilConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/wrenutil)

# The pkg-config file finds the prefix relative to itself, so that an
# installation moved elsewhere (or made with --prefix) still works.
file(RELATIVE_PATH WRENUTIL_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
  ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" WRENUTIL_PC_TO_PREFIX "${WRENUTIL_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/wrenutil.pc.in
  ${PROJECT_BINARY_DIR}/wrenutil.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/wrenutil.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
