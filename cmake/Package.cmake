# The Debian package: cpack -G DEB in the build folder writes kalvix_<version>_<arch>.deb,
# with the dependencies worked out from the binaries by dpkg-shlibdeps (Debian dpkg-dev).
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kalvix")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Kalvix developers")
set(CPACK_PACKAGE_CONTACT "The Kalvix developers <kalvix@dellmar.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compare the schemas of two directory trees")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ldapmodify applies what kalvix-cli reconcile writes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ldap-utils")
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://dellmar.example/kalvix/")
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
# Folders the package shares with others belong to root, mode 755, as dpkg expects.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The synopsis is the summary above; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kalvix compares the schemas of two directory trees: their object classes
and attributes, read live from LDAP servers, OpenLDAP schema files or LDIF
dumps, or from schema files saved earlier. It lists the classes and
attributes only one tree has and every difference between the definitions
both share.
.
The package holds the window (kalvix) and the command-line tool
(kalvix-cli), whose text and JSON output serve scripts.")

# Debian's documentation folder holds the copyright in its own format and the changelog.
set(KALVIX_DEBIAN_CHANGELOG ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${KALVIX_DEBIAN_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debian
  COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${KALVIX_DEBIAN_CHANGELOG}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
add_custom_target(kalvix_debian_changelog ALL DEPENDS ${KALVIX_DEBIAN_CHANGELOG})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${KALVIX_DEBIAN_CHANGELOG}
        DESTINATION ${KALVIX_DOCDIR})

include(CPack)
