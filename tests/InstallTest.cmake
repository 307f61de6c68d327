# Installs the build into a fresh prefix, builds a C host against it once
# through find_package and once through pkg-config, and frames a file with
# each; both outputs must equal what the installed bmpframe writes.
set(work ${WORK_DIR})
set(prefix ${work}/prefix)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed
    include/VelmoraBMPFilterFrame.h
    ${LIBDIR}/libVelmoraBMPFilterFrame.so.1.0.0.1
    ${LIBDIR}/cmake/VelmoraBMPFilterFrame/VelmoraBMPFilterFrameConfig.cmake
    ${LIBDIR}/pkgconfig/VelmoraBMPFilterFrame.pc
    bin/bmpframe)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${work}/host-build -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_C_COMPILER=${C_COMPILER} "-DCMAKE_C_FLAGS=${C_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${work}/host-build)
run(${work}/host-build/host ${INPUT} ${work}/by-package.bmp)

set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs VelmoraBMPFilterFrame
  OUTPUT_VARIABLE pkg_flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(pkg_flags UNIX_COMMAND "${pkg_flags}")
separate_arguments(extra_flags UNIX_COMMAND "${C_FLAGS} ${LINKER_FLAGS}")
run(${C_COMPILER} ${extra_flags} ${SOURCE_DIR}/host.c -o ${work}/host-pkg-config ${pkg_flags})
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/${LIBDIR}
  ${work}/host-pkg-config ${INPUT} ${work}/by-pkg-config.bmp)

run(${prefix}/bin/bmpframe ${INPUT} ${work}/by-tool.bmp)
foreach(output by-package by-pkg-config)
  run(${CMAKE_COMMAND} -E compare_files ${work}/${output}.bmp ${work}/by-tool.bmp)
endforeach()
file(REMOVE_RECURSE ${work})
message(STATUS "installed package, pkg-config file and tool all frame alike")
