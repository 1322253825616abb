# The Linux release: what a user installs without building. The install rules of each folder put
# the files; this adds the documents Debian's conventions ask for and describes the two packages
# that CPack writes from the same install: a Debian package and a plain archive.
# (scripts/package configures the preset `package`, prefix /usr, and runs CPack.)
set(PRAVELL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/pravell)

# Debian keeps the manual page and the package's changelog compressed, without a time stamp
# inside; the changelog of a package without a Debian revision is in Debian's own form.
find_program(PRAVELL_GZIP gzip REQUIRED)
set(PRAVELL_COMPRESSED_DOCS ${PROJECT_BINARY_DIR}/packaging)
foreach(document docs/pravell.1 packaging/debian/changelog)
    get_filename_component(name ${document} NAME)
    add_custom_command(
        OUTPUT ${PRAVELL_COMPRESSED_DOCS}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PRAVELL_COMPRESSED_DOCS}
        COMMAND ${PRAVELL_GZIP} -9nc ${PROJECT_SOURCE_DIR}/${document} > ${name}.gz
        WORKING_DIRECTORY ${PRAVELL_COMPRESSED_DOCS}
        DEPENDS ${PROJECT_SOURCE_DIR}/${document}
        COMMENT "Compressing ${name}")
    list(APPEND compressed_docs ${PRAVELL_COMPRESSED_DOCS}/${name}.gz)
endforeach()
add_custom_target(pravell_compressed_docs ALL DEPENDS ${compressed_docs})

install(FILES ${PRAVELL_COMPRESSED_DOCS}/pravell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PRAVELL_COMPRESSED_DOCS}/changelog.gz CHANGELOG.md docs/reference.md
              packaging/debian/copyright
    DESTINATION ${PRAVELL_DOC_DIR})

set(CPACK_PACKAGE_NAME pravell)
set(CPACK_PACKAGE_VENDOR "the Pravell authors")
set(CPACK_PACKAGE_CONTACT "the Pravell authors <authors@pravell.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "in-process automation component for XML documents")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Pravell serves two automation objects by programmatic identifier:\n"
    "Corvantis.XMLModel loads a document into a tree that a host walks, edits\n"
    "and saves as indented XML or as a compressed container, and\n"
    "Corvantis.StreamingXMLParser calls a host's client for every tag, text,\n"
    "comment, document type and error.\n"
    ".\n"
    "The package holds the component, its platform layer, the host library and\n"
    "headers, and the pravell tool, which registers the component and formats,\n"
    "converts and streams documents with it.")
set(CPACK_PACKAGE_FILE_NAME pravell-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are the packages of the shared libraries the files link, as dpkg finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# The loader's cache is refreshed through libc's trigger.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)

set(CPACK_GENERATOR DEB TGZ)
include(CPack)
