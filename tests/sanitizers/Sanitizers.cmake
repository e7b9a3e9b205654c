# Run-time options of the sanitizer build (MOSSPORT_SANITIZE=address,undefined), given to every test through
# its environment; scripts/test runs the whole suite in such a build.
#
# Every test runs with AddressSanitizer's checks, leak checking on and UBSan stopping at its first finding.
# The rules below are for the libraries we link, each named; none is about our own code, where any finding
# must fail the test. The tests that start Qt WebEngine get the rules marked "web engine" as well.

set(asan_options "detect_leaks=1:halt_on_error=1:check_initialization_order=1")
set(ubsan_options "halt_on_error=1:print_stacktrace=1")

# Leaks at start-up that every Qt program here has (these libraries keep the memory until the process ends):
set(common_leaks
    # libdbus-1: the buffer of the session-bus connection that Qt's D-Bus thread reads into.
    "leak:libdbus-1.so"
)

# Mesa: every program that links Qt WebEngine makes an OpenGL context at start-up; Mesa's GL driver keeps
# what it allocated then in its own variables, but is unloaded before the leak check runs, which then finds
# that memory unreferenced. Preloading the driver keeps it loaded to the end, so no rule is needed for it.
set(mesa_driver "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri/swrast_dri.so")

# The tests that start the web engine (a QWebEngineView or the program itself).
set(MOSSPORT_WEBENGINE_TESTS browser_test highscores_test host_test program_test downloads_test fullscreen_test
    webprofile_test)

set(webengine_leaks
    ${common_leaks}
    # Web engine (libQt6WebEngineCore, Chromium inside): objects of the browser process made once and
    # never freed.
    "leak:libQt6WebEngineCore.so"
    # Web engine: fontconfig's configuration that Chromium loads for its fonts and keeps.
    "leak:libfontconfig.so"
)
# Web engine: destroying a QWebEngineView deletes an object of Chromium's through a pointer to a base class
# of another size (inside libQt6WebEngineCore), which AddressSanitizer reports as new-delete-type-mismatch.
# The check cannot be turned off for one library only, so these tests go without it.
set(webengine_asan_options "${asan_options}:new_delete_type_mismatch=0")

# The tests whose programs run as native Wayland clients (in the desktop of the wayland-session tool).
set(MOSSPORT_WAYLAND_TESTS wayland_test)

set(wayland_leaks
    ${common_leaks}
    # Qt's Wayland platform plugin (libQt6WaylandClient): the compositor's globals that it binds at start-up
    # (compositor, seat, outputs, shm, ...) and the objects the compositor announces later are never
    # destroyed, and disconnecting frees the table that referred to them. libwayland-client allocates them
    # all; nothing of ours calls it.
    "leak:libwayland-client.so"
)

set(suppressions_dir "${CMAKE_BINARY_DIR}/sanitizers")
list(JOIN common_leaks "\n" rules)
file(WRITE "${suppressions_dir}/common.supp" "${rules}\n")
list(JOIN webengine_leaks "\n" rules)
file(WRITE "${suppressions_dir}/webengine.supp" "${rules}\n")
list(JOIN wayland_leaks "\n" rules)
file(WRITE "${suppressions_dir}/wayland.supp" "${rules}\n")

# Gives one test the options above; mossport_add_test calls it for every test.
function(mossport_sanitizer_environment test)
    if(test IN_LIST MOSSPORT_WEBENGINE_TESTS)
        set(options "${webengine_asan_options}")
        set(suppressions "${suppressions_dir}/webengine.supp")
    elseif(test IN_LIST MOSSPORT_WAYLAND_TESTS)
        set(options "${asan_options}")
        set(suppressions "${suppressions_dir}/wayland.supp")
    else()
        set(options "${asan_options}")
        set(suppressions "${suppressions_dir}/common.supp")
    endif()
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
        "ASAN_OPTIONS=${options}"
        "LSAN_OPTIONS=suppressions=${suppressions}:print_suppressions=0"
        "UBSAN_OPTIONS=${ubsan_options}")
    if(EXISTS "${mesa_driver}")
        set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "LD_PRELOAD=${mesa_driver}")
    endif()
endfunction()
