# RapidJSON 1.1.0 as every build includes it (the Windows build, the native tests and fuzzers, both
# builds of corvane-check): Debian's headers (rapidjson-dev) with the reader replaced by the fixed copy
# in third_party/rapidjson, whose README says what changed and why. Sets CORVANE_RAPIDJSON_INCLUDE, the
# folder that holds rapidjson/, to be given as a system include: it is searched before /usr/include.
include_guard(GLOBAL)
get_filename_component(corvane_rapidjson_fixed ${CMAKE_CURRENT_LIST_DIR}/../third_party/rapidjson ABSOLUTE)
find_path(CORVANE_RAPIDJSON_UPSTREAM rapidjson/document.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(CORVANE_RAPIDJSON_INCLUDE ${CMAKE_BINARY_DIR}/rapidjson-fixed)
file(COPY ${CORVANE_RAPIDJSON_UPSTREAM}/rapidjson DESTINATION ${CORVANE_RAPIDJSON_INCLUDE} PATTERN reader.h EXCLUDE)
configure_file(${corvane_rapidjson_fixed}/reader.h ${CORVANE_RAPIDJSON_INCLUDE}/rapidjson/reader.h COPYONLY)
