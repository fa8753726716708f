# Warnings, source and execution character sets, sanitizers and static
# linking, for every target of the project.

# Sources are UTF-8; the program's narrow literals become Shift-JIS (code page
# 932) at compile time. Only the project's own targets get this: some standard
# headers hold characters that code page 932 lacks.
if(MSVC)
  set(NORVALISK_CHARSET_OPTIONS /source-charset:utf-8 /execution-charset:.932)
  add_compile_options(/W4)
  add_compile_definitions(_CRT_SECURE_NO_WARNINGS)
else()
  set(NORVALISK_CHARSET_OPTIONS -finput-charset=UTF-8 -fexec-charset=CP932)
  set(NORVALISK_WARNING_OPTIONS -Wall -Wextra)
endif()

# Gives a target of the project its character sets and warnings.
function(norvalisk_target target)
  target_compile_options(${target} PRIVATE ${NORVALISK_CHARSET_OPTIONS} ${NORVALISK_WARNING_OPTIONS})
endfunction()

if(NORVALISK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(MINGW)
  # One self-contained executable: no mingw runtime DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # No link time in the PE header: the same sources link to the same bytes.
  add_link_options(-Wl,--no-insert-timestamp)
endif()

if(WIN32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
