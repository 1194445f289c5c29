# The Debian package: cpack --preset release writes build/release/trelvane_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orrisdale)
set(CPACK_PACKAGE_CONTACT "Trelvane maintainers <trelvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "organise lists of e-mail addresses before a mass mailing")
set(CPACK_PACKAGE_DESCRIPTION [=[Trelvane reads text files with one e-mail address per line,
drops the addresses whose domain suffix is on a delete list or that stand in
an exclusion file, removes duplicates and sorts the rest. It writes the
result to one file or to volumes of a chosen number of lines, can keep only
listed suffixes and can insert test addresses at a fixed interval.
.
The package holds the dialog program trelvane, with Chinese texts, and the
command-line tool trelvane-cli for scripts.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Chinese texts and a font for the Chinese window texts; the program runs without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
