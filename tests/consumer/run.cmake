# Installs the build tree into a scratch prefix, then builds and runs the
# consumer program once through find_package and once through pkg-config, and
# checks that no installed file carries an rpath.
# Expects BUILD_DIR, SOURCE_DIR, WORK_DIR and GENERATOR (the build's own, so
# that the consumer needs no other build program).
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/cmake-build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)

file(GLOB_RECURSE pc_files ${prefix}/*/VelkUpdateReminder.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND pkg-config --cflags --libs VelkUpdateReminder
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND pkg-config --variable=libdir VelkUpdateReminder
                OUTPUT_VARIABLE libdir OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(c++ ${SOURCE_DIR}/main.cpp -o ${WORK_DIR}/consumer-pc ${flags})

# The installed libraries carry no rpath: the loader is told where they are,
# as for any prefix it does not search.
set(ENV{LD_LIBRARY_PATH} ${libdir})
run(${WORK_DIR}/cmake-build/consumer)
run(${WORK_DIR}/consumer-pc)

file(GLOB_RECURSE installed LIST_DIRECTORIES false ${prefix}/*)
foreach(file IN LISTS installed)
  if(file MATCHES "\\.so|/bin/")
    execute_process(COMMAND readelf -d ${file} OUTPUT_VARIABLE dynamic ERROR_QUIET)
    if(dynamic MATCHES "RPATH|RUNPATH")
      message(FATAL_ERROR "${file} carries an rpath")
    endif()
  endif()
endforeach()
