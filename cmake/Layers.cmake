# The product's folders are layers: each may include its own headers and those of the layers it
# is declared to build on, nothing above or beside it. Configuring fails on any other include, so a
# back edge is caught before anything is compiled; the libraries' declared links catch the rest.
set(PRODUCT_LAYERS virid process rman discovery plugin host tools tests)

function(check_layer_includes layer)
    set(allowed ${layer} ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${CMAKE_SOURCE_DIR}/${layer}/*.h ${CMAKE_SOURCE_DIR}/${layer}/*.cpp)
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-z]+/")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([a-z]+)/.*" "\\1" folder "${line}")
            if(folder IN_LIST PRODUCT_LAYERS AND NOT folder IN_LIST allowed)
                file(RELATIVE_PATH shown ${CMAKE_SOURCE_DIR} ${source})
                message(FATAL_ERROR "${shown}: the ${layer} layer includes ${folder}/, which is "
                                    "not below it (it may include: ${allowed})")
            endif()
        endforeach()
    endforeach()
endfunction()
