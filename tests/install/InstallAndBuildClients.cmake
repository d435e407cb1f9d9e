# cmake -P script run by the install test (arguments from tests/install/CMakeLists.txt).
# Each step has a deadline of its own: one that hangs is ended and named.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 600)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${cmd}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_file path)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
# Nothing of the build tree may help the clients find a library.
unset(ENV{LD_LIBRARY_PATH})
unset(ENV{CMAKE_PREFIX_PATH})
unset(ENV{PKG_CONFIG_PATH})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(f ${LIBDIR}/libMerivox6.so ${LIBDIR}/libMerivoxPlatform.so
          ${INCLUDEDIR}/merivox6/Merivox6/Quantara.h ${INCLUDEDIR}/merivox6/dao/Dao.h
          ${LIBDIR}/cmake/Merivox6/Merivox6Config.cmake ${LIBDIR}/pkgconfig/merivox6.pc
          ${PROGRAMDIR}/Merivox.MDW ${BINDIR}/merivox-workgroup)
  expect_file(${prefix}/${f})
endforeach()
if(EXISTS ${prefix}/include/dao OR EXISTS ${prefix}/include/vb)
  message(FATAL_ERROR "platform headers installed outside include/merivox6")
endif()

# The installed tool finds its library through its run path.
run(${prefix}/${BINDIR}/merivox-workgroup create ${WORK_DIR}/made.mdw)
expect_file(${WORK_DIR}/made.mdw)

if(HAVE_PROGRAM)
  expect_file(${prefix}/${PROGRAMDIR}/Merivox)
  expect_file(${prefix}/${DATADIR}/applications/merivox.desktop)
  file(REAL_PATH ${prefix}/${BINDIR}/Merivox linked)
  file(REAL_PATH ${prefix}/${PROGRAMDIR}/Merivox program)
  if(NOT linked STREQUAL program)
    message(FATAL_ERROR "${BINDIR}/Merivox does not lead to the program")
  endif()
  run(ldd ${program})
  if(run_output MATCHES "not found")
    message(FATAL_ERROR "the installed program misses a library:\n${run_output}")
  endif()
  # ldd names the library by the run path it came through ($ORIGIN/../..).
  if(NOT run_output MATCHES "libMerivox6\\.so[.0-9]* => ([^ ]+)")
    message(FATAL_ERROR "the installed program does not load the engine:\n${run_output}")
  endif()
  file(REAL_PATH ${CMAKE_MATCH_1} used_lib)
  file(REAL_PATH ${prefix}/${LIBDIR}/libMerivox6.so installed_lib)
  if(NOT used_lib STREQUAL installed_lib)
    message(FATAL_ERROR "the installed program loads ${used_lib}, not the installed engine")
  endif()
endif()

# 1. A CMake project: find_package(Merivox6), target Merivox6::Merivox6.
run(${CMAKE_COMMAND} -S ${CLIENT_DIR} -B ${WORK_DIR}/client-cmake -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_CXX_FLAGS=${CLIENT_FLAGS} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_BUILD_TYPE=Debug)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/client-cmake)
run(${WORK_DIR}/client-cmake/merivox-client ${WORK_DIR}/cmake-client.db)
message(STATUS "find_package client: ${run_output}")

# 2. A plain compile with only the flags pkg-config gives, as the code
# generator's help tells a user: no language standard of our own, so the
# compiler's default one is in force unless the package's flags set it.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
run(${PKG_CONFIG} --cflags --libs merivox6)
string(STRIP "${run_output}" flags)
run(${PKG_CONFIG} --variable=libdir merivox6)
string(STRIP "${run_output}" libdir)
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${CLIENT_FLAGS}")
run(${CXX} ${extra} ${CLIENT_DIR}/client.cpp ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/pkgconfig-client)
run(${WORK_DIR}/pkgconfig-client ${WORK_DIR}/pkgconfig-client.db)
message(STATUS "pkg-config client: ${run_output}")
file(REMOVE_RECURSE ${WORK_DIR})
