# Sanitizer and fuzzing instrumentation for every target of the build.
#
# TAMBERLYN_SANITIZE turns on AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer; any report ends the process, so a test that
# trips one fails instead of printing a warning nobody reads.
# The fuzz scope adds libFuzzer's coverage hooks to the libraries; the fuzz
# targets themselves link libFuzzer's main (tests/fuzz/).
if(TAMBERLYN_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

if(TAMBERLYN_SCOPE STREQUAL "fuzz")
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "The fuzz scope needs clang (libFuzzer); use the 'fuzz' preset.")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
