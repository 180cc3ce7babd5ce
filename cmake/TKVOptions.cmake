# Warnings and sanitizers shared by every target of the project.

function(tkv_apply_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

if(TKV_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(TKV_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(TKV_SANITIZE STREQUAL "fuzzer")
    # Coverage for libFuzzer everywhere; only the fuzz targets link its driver.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(NOT TKV_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TKV_SANITIZE must be empty, 'address', 'thread' or 'fuzzer'")
endif()
