# pravell_type_library(<name> <file.idl>) compiles an IDL file into <name>.tlb beside the
# libraries (the build's bin/), and <name>_idl.h and the interface identifiers in the generated
# include folder. Linking the target <name>_idl gives the header and the identifiers. The Linux
# build uses the layer's own IDL compiler; the Windows build uses widl, which writes one output
# kind per call and names its identifier file as C.
function(pravell_type_library name idl)
    set(generated ${PROJECT_BINARY_DIR}/generated/idl)
    set(tlb ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}.tlb)
    set(header ${generated}/${name}_idl.h)
    if(WIN32)
        find_program(PRAVELL_WIDL widl REQUIRED)
        set(identifiers ${generated}/${name}_idl_i.c)
        set(compile
            COMMAND ${PRAVELL_WIDL} -t -o ${tlb} ${idl}
            COMMAND ${PRAVELL_WIDL} -h -o ${header} ${idl}
            COMMAND ${PRAVELL_WIDL} -u -o ${identifiers} ${idl})
        set(compiler_target)
    else()
        set(identifiers ${generated}/${name}_idl_i.cpp)
        set(compile
            COMMAND pravell-idlc --tlb ${tlb} --header ${header} --iids ${identifiers} ${idl})
        set(compiler_target pravell-idlc)
    endif()
    add_custom_command(
        OUTPUT ${tlb} ${header} ${identifiers}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${generated} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
        ${compile}
        DEPENDS ${compiler_target} ${idl}
        COMMENT "Compiling ${name}.idl"
        VERBATIM)
    # The type library is listed among the sources so that building the target builds it.
    add_library(${name}_idl STATIC ${identifiers} ${header} ${tlb})
    target_include_directories(${name}_idl PUBLIC ${generated} ${PROJECT_SOURCE_DIR}/src)
    set_target_properties(${name}_idl PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
endfunction()
