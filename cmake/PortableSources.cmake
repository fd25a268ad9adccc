# The parts that make no platform call, relative to the source root, and the fuzz targets: the one list
# read by the Windows build (json/), the native build (native/), the native corvane-check
# (tools/corvane-check/native) and scripts/native-test, so that no copy can miss a source.
set(CORVANE_JSON_SOURCES
  json/CJSON_Exp.cpp
  json/Document.cpp
  json/DocumentRecord.cpp
  json/SObject_Exp.cpp
  json/WriteBack.cpp
  json/internal/FileAccess.cpp
  json/internal/HandleStore.cpp
  json/internal/IndentedText.cpp)
set(CORVANE_PORTABLE_SOURCES
  ${CORVANE_JSON_SOURCES}
  services/StringUtils.cpp
  services/internal/TextScan.cpp
  launcher/ModPlan.cpp
  patching/internal/BranchEncoding.cpp
  patching/internal/ImportDirectory.cpp)
get_filename_component(corvane_source_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
list(TRANSFORM CORVANE_JSON_SOURCES PREPEND ${corvane_source_root}/)
list(TRANSFORM CORVANE_PORTABLE_SOURCES PREPEND ${corvane_source_root}/)

# One program per target, tests/fuzz/<target>Fuzz.cpp, seeded from tests/fuzz/corpus/<target>/.
set(CORVANE_FUZZ_TARGETS JsonRoundTrip HandleOperations OptionScan ModPlan ImportWalk)
