# One static library per subsystem folder. The system's code is compiled once, with hidden
# visibility, and linked into libpravell.so as well as into the unit tests.
function(pravell_subsystem name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(pravell_${name} STATIC ${ARG_SOURCES})
    target_include_directories(pravell_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(pravell_${name} PUBLIC ${ARG_DEPENDS})
    set_target_properties(pravell_${name} PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# One GoogleTest executable per test folder; every test case becomes a CTest test. Under Wine,
# where each program start costs a second, the executable is one CTest test. A test file named
# *Posix_test.cpp checks what only a POSIX system can arrange (file size limits, modes, links,
# pipes) and is left out of the Windows build; *Windows_test.cpp, what only Windows has (file
# attributes, drive letters), is left out of the others.
function(pravell_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    if(WIN32)
        list(FILTER ARG_SOURCES EXCLUDE REGEX "Posix_test\\.cpp$")
    else()
        list(FILTER ARG_SOURCES EXCLUDE REGEX "Windows_test\\.cpp$")
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    set(environment "PRAVELL_TEST_ROOT=${PROJECT_BINARY_DIR}/test-root")
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "${environment};PRAVELL_BUILD_DIR=${PROJECT_BINARY_DIR}")
    else()
        # Labelled with the program's name, so that a preset can run one program's tests.
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
            PROPERTIES ENVIRONMENT "${environment}" LABELS ${name})
    endif()
endfunction()
