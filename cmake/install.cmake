# Installs Dialtrace as one self-contained folder and packs that folder as a .tar.gz.
#
# Everything goes to the top of the prefix, with no bin/ or share/ below it: the program reads
# Instructions.txt from, and writes temp.csv to, the directory that holds its executable, so the
# folder has to stay together and writable wherever a user unpacks or moves it.

# A bare `cmake --install` would otherwise spread these loose files over /usr/local.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX "${CMAKE_BINARY_DIR}/Dialtrace-${PROJECT_VERSION}"
        CACHE PATH "Folder that receives the portable Dialtrace installation" FORCE)
endif()

# Debian's Qt lives in the system library directories, and the folder ships no libraries of its
# own. qt_standard_project_setup() asks for $ORIGIN/../lib, which here would point outside the
# folder, at whatever happens to sit next to it; the build tree's paths must not travel either.
set_target_properties(dialtrace dialtrace-collate PROPERTIES
    INSTALL_RPATH ""
    INSTALL_RPATH_USE_LINK_PATH OFF)

install(TARGETS dialtrace dialtrace-collate RUNTIME DESTINATION .)

install(FILES ${PROJECT_SOURCE_DIR}/assets/Instructions.txt
              ${PROJECT_SOURCE_DIR}/assets/Instructions.position.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . OPTIONAL)
# The guides the README links to, so that its links lead somewhere in the installed folder too.
file(GLOB dialtrace_guides ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${dialtrace_guides} DESTINATION docs OPTIONAL)
install(FILES ${PROJECT_SOURCE_DIR}/samples/demo.avi DESTINATION samples)

# install-desktop-entry.sh fills the template with the folder it finds itself in, so both stay
# beside the executable; the icons keep the hicolor layout it copies from.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/dialtrace.desktop.in
              ${PROJECT_SOURCE_DIR}/packaging/dialtrace-collate.desktop.in DESTINATION .)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/install-desktop-entry.sh DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/assets/icons/hicolor
        DESTINATION icons
        FILES_MATCHING PATTERN "dialtrace.png")
install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/dialtrace.svg
        DESTINATION icons/hicolor/scalable/apps)

set(CPACK_GENERATOR "TGZ")
set(CPACK_PACKAGE_NAME "dialtrace")
set(CPACK_PACKAGE_VENDOR "Dialtrace")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Records a subject's moment-to-moment ratings while a film or sound clip plays")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME
    "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
# The archive's own top-level folder would be named after the file; users should unpack a
# folder named after the program instead, so the prefix inside the archive provides it.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX "/Dialtrace-${PROJECT_VERSION}")

include(CPack)
