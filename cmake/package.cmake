# cpack -G DEB: the Debian package of bex and its manual page.
set(CPACK_PACKAGE_NAME bex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "BEX")
set(CPACK_PACKAGE_CONTACT "BEX maintainers <bex@example.org>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads the data files of an Oracle database and gets the data out")
set(CPACK_PACKAGE_DESCRIPTION
    "bex reads Oracle data files directly, block by block, with no database instance, and unloads their tables into text, CSV or export dumps with load scripts: for the database that cannot be opened (lost SYSTEM tablespace, corrupt blocks, dropped or truncated tables, files left only in an ASM disk group or in backup pieces). It never writes to the data files.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries bex links (dpkg-shlibdeps, from dpkg-dev);
# without the tool they are named here. libpq is loaded, not linked, when
# rows go into PostgreSQL: the tool cannot see it, so it is named in both
# cases (CPack adds what dpkg-shlibdeps finds to the Depends given).
find_program(BEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(BEX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpq5")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12), libicu72, libsqlite3-0, libpq5")
endif()
include(CPack)
