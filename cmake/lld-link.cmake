# Programs are linked by LLD, through clang's driver, instead of GNU ld: Debian 12's ld 2.40
# leaves the header's load-configuration directory empty, so Windows would never read the
# program's dependent load flags (platform/LoadConfig.cpp); LLD also builds the delay-load
# tables. GCC's start and end files and its libraries are named as GCC's own driver names them.
# DLLs are still linked by GCC's driver.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine OUTPUT_VARIABLE MORVANE_TRIPLE
                OUTPUT_STRIP_TRAILING_WHITESPACE)
foreach(file crt2.o crtbegin.o crtend.o libgcc.a)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${file} OUTPUT_VARIABLE found
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(REAL_PATH "${found}" gcc_${file})
  if(NOT EXISTS "${gcc_${file}}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} names no ${file}")
  endif()
endforeach()
get_filename_component(gcc_libraries ${gcc_libgcc.a} DIRECTORY)
set(CMAKE_CXX_LINK_EXECUTABLE
  "clang++ --target=${MORVANE_TRIPLE} -fuse-ld=lld -nostdlib -Wno-unused-command-line-argument \
<FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> ${gcc_crt2.o} ${gcc_crtbegin.o} <OBJECTS> -o <TARGET> \
<LINK_LIBRARIES> -L${gcc_libraries} -lstdc++ -Wl,--start-group -lmingw32 -lgcc -lgcc_eh \
-lmoldname -lmingwex -lmsvcrt -lpthread -lkernel32 -ladvapi32 -lshell32 -luser32 -Wl,--end-group \
${gcc_crtend.o}")
