# The hardening Debian builds its packages with (dpkg-buildflags with
# hardening=+all on amd64), for every Linux target: the tests run the same
# code the package ships. Position-independent executables are the compiler's
# default there already.
#   stack protector   -fstack-protector-strong
#   fortify           -D_FORTIFY_SOURCE=2 (checked string and memory calls;
#                     glibc needs optimisation for it, so not in Debug builds)
#   format            -Wformat -Werror=format-security
#   relro, now        -z relro -z now: relocations resolved at start, then
#                     read-only
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security
                    "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
add_link_options(LINKER:-z,relro LINKER:-z,now)
