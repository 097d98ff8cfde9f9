# Source collection and warning policy shared by every target of ours.

# Collects the .cpp files below DIR, keeping only this platform's *_win / *_posix files.
function(ondu_collect_sources out_var dir)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(WIN32)
    list(FILTER srcs EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER srcs EXCLUDE REGEX "_win\\.cpp$")
  endif()
  set(${out_var} ${srcs} PARENT_SCOPE)
endfunction()

# Our own code builds warning-free; third-party code is left alone.
function(ondu_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(WIN32)
    # UNICODE: every Win32 call we make is the W form.
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                               _WIN32_WINNT=0x0A00)
  endif()
endfunction()

if(WIN32)
  # One self-contained executable: no MinGW runtime DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
