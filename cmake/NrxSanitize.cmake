# NRX_SANITIZE: OFF, ON or address (AddressSanitizer with UndefinedBehaviorSanitizer), or
# thread (ThreadSanitizer). NRX_SANITIZER_PRELOAD is what a test must preload to load the
# instrumented libraries into an uninstrumented program such as the Python interpreter.
set(NRX_SANITIZE OFF CACHE STRING "Sanitizers: OFF, ON/address (ASan+UBSan) or thread (TSan)")
set_property(CACHE NRX_SANITIZE PROPERTY STRINGS OFF ON address thread)
string(TOLOWER "${NRX_SANITIZE}" _nrx_san)
set(NRX_SANITIZER_PRELOAD "")
set(NRX_SANITIZER_OPTIONS_NAME "")
set(NRX_SANITIZER_OPTIONS "")
if(_nrx_san STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  set(_nrx_runtimes libtsan.so)
  set(NRX_SANITIZER_OPTIONS_NAME TSAN_OPTIONS)
  set(NRX_SANITIZER_OPTIONS "halt_on_error=1")
elseif(_nrx_san MATCHES "^(on|address|yes|true|1)$")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  set(_nrx_runtimes libasan.so libubsan.so)
  # The interpreter's own allocations are not ours to report.
  set(NRX_SANITIZER_OPTIONS_NAME ASAN_OPTIONS)
  set(NRX_SANITIZER_OPTIONS "detect_leaks=0")
elseif(NOT _nrx_san MATCHES "^(off|no|false|0|)$")
  message(FATAL_ERROR "NRX_SANITIZE=${NRX_SANITIZE}: use OFF, ON, address or thread")
endif()
foreach(rt IN LISTS _nrx_runtimes)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${rt}
                  OUTPUT_VARIABLE _nrx_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_nrx_path}" OR NOT EXISTS "${_nrx_path}")
    message(FATAL_ERROR "NRX_SANITIZE=${NRX_SANITIZE}: ${CMAKE_CXX_COMPILER} has no ${rt}")
  endif()
  get_filename_component(_nrx_path "${_nrx_path}" REALPATH)
  list(APPEND NRX_SANITIZER_PRELOAD "${_nrx_path}")
endforeach()
string(REPLACE ";" ":" NRX_SANITIZER_PRELOAD "${NRX_SANITIZER_PRELOAD}")

# nrx_sanitized(VAR PROGRAM): VAR names PROGRAM itself, or in a sanitizer build a script
# that runs it with the sanitizer runtime preloaded, for tests that load the instrumented
# libraries into an uninstrumented program (the Python interpreter, a user's consumer).
function(nrx_sanitized var program)
  if(NOT NRX_SANITIZER_PRELOAD)
    set(${var} ${program} PARENT_SCOPE)
    return()
  endif()
  get_filename_component(name ${program} NAME)
  set(script ${PROJECT_BINARY_DIR}/sanitized/${name})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/sanitized.sh.in ${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(${var} ${script} PARENT_SCOPE)
endfunction()
