# The programs on the PATH, and the Debian package of everything the install step lays out.

# bin/velkan and bin/velkanctl are relative links into the program folder. The programs find
# their data beside their real executable, which the kernel reports with the link resolved, and
# a relative link keeps working wherever DESTDIR or the package puts the prefix.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/launchers)
foreach(program velkan velkanctl)
    file(RELATIVE_PATH _velkan_link_target "/${CMAKE_INSTALL_BINDIR}"
         "/${VELKAN_INSTALL_PROGRAM_DIR}/${program}")
    file(CREATE_LINK ${_velkan_link_target} ${CMAKE_BINARY_DIR}/launchers/${program} SYMBOLIC)
    install(FILES ${CMAKE_BINARY_DIR}/launchers/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkan)
set(CPACK_PACKAGE_VENDOR "Velkan developers")
set(CPACK_PACKAGE_CONTACT "Velkan developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure Halvory gaming keyboards")
# Debian wants the long description in lines that fit a terminal.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Velkan changes what every key of the 126-key and 128-key models does in\n"
    "the keyboard's three profiles, records and edits macros, sets the backlight\n"
    "and keeps profiles in files. It lives in the notification area; velkanctl\n"
    "does the same from scripts. A udev rule gives the user at the seat access\n"
    "to the keyboards without root.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the programs link come from dpkg-shlibdeps. Qt loads its platform plugins at
# run time, so the desktop program cannot show a window without them, whatever it links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/linux/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
