# Copies the sample releases and signs each file (manifests and modules) with minisign, so that
# the demo and the tests run with verification on. The key is made once per build folder for
# the samples alone; no key of an operator is ever in the sources.
#   cmake -DMINISIGN=... -DSOURCE=<releases> -DTARGET=<copy> -DKEY=<secret key> -DPUBLIC_KEY=<pub>
#         -P SignReleases.cmake
foreach(variable MINISIGN SOURCE TARGET KEY PUBLIC_KEY)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "SignReleases.cmake needs -D${variable}=...")
    endif()
endforeach()

if(NOT EXISTS ${KEY} OR NOT EXISTS ${PUBLIC_KEY})
    get_filename_component(key_folder ${KEY} DIRECTORY)
    file(MAKE_DIRECTORY ${key_folder})
    execute_process(COMMAND ${MINISIGN} -G -f -W -p ${PUBLIC_KEY} -s ${KEY}
        INPUT_FILE /dev/null OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()

file(REMOVE_RECURSE ${TARGET})
file(COPY ${SOURCE}/ DESTINATION ${TARGET})
file(GLOB_RECURSE files LIST_DIRECTORIES false ${TARGET}/*)
list(FILTER files EXCLUDE REGEX "\\.minisig$")
foreach(file IN LISTS files)
    execute_process(COMMAND ${MINISIGN} -S -s ${KEY} -c "signature of a sample release file"
        -m ${file} INPUT_FILE /dev/null OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()
