# pravell_type_library(<name> <file.idl>) compiles an IDL file with the layer's IDL compiler into
# <name>.tlb beside the libraries (the build's bin/), and <name>_idl.h and <name>_idl_i.cpp in the
# generated include folder. Linking the target <name>_idl gives the header and the identifiers.
function(pravell_type_library name idl)
    set(generated ${PROJECT_BINARY_DIR}/generated/idl)
    set(tlb ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.tlb)
    set(header ${generated}/${name}_idl.h)
    set(identifiers ${generated}/${name}_idl_i.cpp)
    add_custom_command(
        OUTPUT ${tlb} ${header} ${identifiers}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${generated} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
        COMMAND pravell-idlc --tlb ${tlb} --header ${header} --iids ${identifiers} ${idl}
        DEPENDS pravell-idlc ${idl}
        COMMENT "Compiling ${name}.idl"
        VERBATIM)
    # The type library is listed among the sources so that building the target builds it.
    add_library(${name}_idl STATIC ${identifiers} ${header} ${tlb})
    target_include_directories(${name}_idl PUBLIC ${generated} ${PROJECT_SOURCE_DIR}/src)
    set_target_properties(${name}_idl PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
endfunction()
