# Third-party libraries, all from Debian: system packages natively, static
# builds from Debian's source packages in a prefix for the Windows leg.

find_package(LibLZMA REQUIRED)
find_package(EXPAT REQUIRED)
# libzip writes the backup archives: Debian's CMake file for it names tools that are
# packaged apart, so natively pkg-config finds it; the static Windows build needs zlib
# named as ZLIB::ZLIB.
if(WIN32)
  find_package(ZLIB REQUIRED)
  find_package(libzip CONFIG REQUIRED)
  target_compile_definitions(libzip::zip INTERFACE ZIP_STATIC)
  set(ONDU_ZIP_LIB libzip::zip)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
  set(ONDU_ZIP_LIB PkgConfig::LIBZIP)
endif()
if(WIN32)
  # Static archives built by scripts/win-deps.sh.
  target_compile_definitions(LibLZMA::LibLZMA INTERFACE LZMA_API_STATIC)
  target_compile_definitions(EXPAT::EXPAT INTERFACE XML_STATIC)
  set(ONDU_PLATFORM_LIBS bcrypt advapi32 shell32 ole32 uuid user32)
else()
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  # Other programs' top-level windows (finding and closing them) are X11 windows.
  find_package(X11 REQUIRED)
  set(ONDU_PLATFORM_LIBS OpenSSL::Crypto X11::X11)
endif()

# The UI toolkit draws with GDI+ and hosts Win32 windows on Windows; cairo with pango on X11
# elsewhere.
if(WIN32)
  set(ONDU_UI_LIBS gdiplus gdi32 user32 dwmapi comctl32 ole32 shcore msimg32)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo cairo)
  find_package(X11 REQUIRED)
  set(ONDU_UI_LIBS PkgConfig::PANGOCAIRO X11::X11)
endif()

if(ONDU_TESTS)
  if(WIN32)
    # Debian ships GoogleTest as source; build it with the cross compiler.
    set(ONDU_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${ONDU_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
