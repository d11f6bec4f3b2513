# The hardening Debian expects of packaged programs: fortified C library calls, stack
# protection, read-only relocations bound at start (relro, now) and position-independent
# executables. Only the package's build turns it on (scripts/check-deb.sh); the test builds keep
# their flags so that their compiler cache stays valid.
option(ZUNO_HARDENING "Build with the hardening flags of a Debian package" OFF)
if(ZUNO_HARDENING)
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  # _FORTIFY_SOURCE needs the optimiser; the package is built RelWithDebInfo or Release.
  add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
  add_link_options(-Wl,-z,relro,-z,now)
endif()
