# Common compile settings of every target of ours.
function(lanvera_target_defaults target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
    if(LANVERA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
        QT_USE_QSTRINGBUILDER QT_NO_KEYWORDS)
endfunction()

# Engine targets must never pull in Qt Widgets: the list grows with the subsystems.
set_property(GLOBAL PROPERTY LANVERA_ENGINE_TARGETS "")
function(lanvera_engine_target target)
    set_property(GLOBAL APPEND PROPERTY LANVERA_ENGINE_TARGETS ${target})
endfunction()

function(lanvera_check_no_widgets)
    get_property(engines GLOBAL PROPERTY LANVERA_ENGINE_TARGETS)
    foreach(target IN LISTS engines)
        get_target_property(libs ${target} LINK_LIBRARIES)
        get_target_property(ilibs ${target} INTERFACE_LINK_LIBRARIES)
        foreach(lib IN LISTS libs ilibs)
            if(lib MATCHES "Widgets|PrintSupport")
                message(FATAL_ERROR "${target} is an engine target and must not link ${lib}")
            endif()
        endforeach()
    endforeach()
endfunction()
