# The Debian package, made by `cpack -G DEB` in a build folder: the shared
# and static libraries, the public headers, the tarnwick client, and the
# service's systemd unit with its settings file (/etc/default/tarnwick, kept
# across upgrades as a configuration file).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwick.service DESTINATION lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwick.default DESTINATION /etc/default RENAME tarnwick)

set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "Tarnwick")
set(CPACK_PACKAGE_CONTACT "Tarnwick developers <developers@tarnwick.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Campaign-finance filing office: library, client and web service")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Search, edit and delete filed documents and their committee links, committees with their candidates "
    "and treasurers, code lists, filing checks, scanned page images and exports, on SQLite or PostgreSQL: "
    "the tarnwick client and tarnwick serve, the public disclosure and clerks' web API.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the programs load become the package's dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/conffiles)
include(CPack)
