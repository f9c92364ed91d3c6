# Installs the build into a fresh prefix twice, as a first install and an upgrade: the installed
# program must find its small databases beside itself, and the upgrade must keep the settings
# and the communication log that the user's runs have changed.
# Run with: cmake -DBUILD_DIR=... -DWORK_DIR=... -P install_test.cmake
set(prefix ${WORK_DIR}/prefix)
set(bin ${prefix}/bin)
file(REMOVE_RECURSE ${WORK_DIR})

function(install_build)
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "install failed: ${output}")
  endif()
endfunction()

function(expect_exit code)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(NOT result EQUAL code)
    message(FATAL_ERROR "${ARGN}: exit ${result}, expected ${code}: ${output}")
  endif()
endfunction()

install_build()
foreach(file orva-influx init2.orva config2.orva CommLog.orva)
  if(NOT EXISTS ${bin}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# Exit 3 is a configuration error: start-up, which opens the three databases beside the
# program and takes over the installation file, went through (a failed start-up exits 1).
set(ENV{ORVA_ROOT} ${WORK_DIR}/root)
set(ENV{QT_QPA_PLATFORM} offscreen)
expect_exit(3 ${bin}/orva-influx --headless --config ${WORK_DIR}/missing.json
            -d ${BUILD_DIR}/bin -f demo-installation.orva)

# The run completed the settings record; an upgrade keeps that and the log as they are.
file(SHA256 ${bin}/config2.orva settings_before)
file(SHA256 ${BUILD_DIR}/data/config2.orva settings_shipped)
if(settings_before STREQUAL settings_shipped)
  message(FATAL_ERROR "the run did not change the installed settings; the check below proves nothing")
endif()
file(APPEND ${bin}/CommLog.orva "the user's log")
file(SHA256 ${bin}/CommLog.orva log_before)
install_build()
file(SHA256 ${bin}/config2.orva settings_after)
file(SHA256 ${bin}/CommLog.orva log_after)
if(NOT settings_after STREQUAL settings_before OR NOT log_after STREQUAL log_before)
  message(FATAL_ERROR "the upgrade replaced the user's settings or log")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
