# Warning flags for our own targets; link trelvane_warnings PRIVATE.
add_library(trelvane_warnings INTERFACE)
if(MSVC)
    target_compile_options(trelvane_warnings INTERFACE /W4 /permissive-)
else()
    target_compile_options(trelvane_warnings INTERFACE
        -Wall                     # the common set
        -Wextra                   # and the less common one
        -Wpedantic                # no compiler extensions
        -Wshadow                  # a local hiding another name
        -Wconversion              # silent narrowing of numbers
        -Wold-style-cast          # casts that say what they do
        -Wnon-virtual-dtor        # deleting through a base without a virtual destructor
        -Woverloaded-virtual      # an overload hiding a virtual
        -Wimplicit-fallthrough    # a missing break in a switch
        # GCC 12 sees overlaps in std::string copies that cannot happen (GCC bug 105329).
        $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>
    )
endif()
if(TRELVANE_WARNINGS_AS_ERRORS)
    target_compile_options(trelvane_warnings INTERFACE $<IF:$<CXX_COMPILER_ID:MSVC>,/WX,-Werror>)
endif()
