# The synthetic schema generator (a library for the benchmarks and the kalvix-gen-schema
# tool) and what the schema benchmarks need beyond the core: the clients and, when the
# window is built, the window's list boxes and the window itself.
add_library(kalvix_schema_gen STATIC ${CMAKE_CURRENT_LIST_DIR}/SchemaGenerator.cpp)
target_include_directories(kalvix_schema_gen PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(kalvix_schema_gen PUBLIC kalvix_core kalvix_clients)
set_target_properties(kalvix_schema_gen PROPERTIES AUTOMOC OFF)

add_executable(kalvix-gen-schema ${CMAKE_CURRENT_LIST_DIR}/gen_schema.cpp)
target_link_libraries(kalvix-gen-schema PRIVATE kalvix_schema_gen)
set_target_properties(kalvix-gen-schema PROPERTIES AUTOMOC OFF)

foreach(name bench_schema bench_compare)
  if(TARGET ${name})
    target_link_libraries(${name} PRIVATE kalvix_schema_gen)
    if(KALVIX_GUI)
      target_link_libraries(${name} PRIVATE kalvix_gui)
      target_compile_definitions(${name} PRIVATE KALVIX_BENCH_GUI=1)
    endif()
  endif()
endforeach()

if(KALVIX_TESTS)
  find_package(GTest REQUIRED)
  add_executable(bench_test_schema_generator ${CMAKE_CURRENT_LIST_DIR}/test_schema_generator.cpp)
  target_link_libraries(bench_test_schema_generator PRIVATE kalvix_schema_gen GTest::gtest_main)
  set_target_properties(bench_test_schema_generator PROPERTIES AUTOMOC OFF)
  add_test(NAME bench.schema_generator COMMAND bench_test_schema_generator)
  set_tests_properties(bench.schema_generator PROPERTIES LABELS bench TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
endif()

# kalvix-cli against GNU diff: the driver runs the built kalvix-cli.
if(TARGET bench_cli_vs_diff AND TARGET kalvix-cli)
  target_link_libraries(bench_cli_vs_diff PRIVATE kalvix_schema_gen)
  target_compile_definitions(bench_cli_vs_diff PRIVATE KALVIX_CLI_PATH="$<TARGET_FILE:kalvix-cli>")
  add_dependencies(bench_cli_vs_diff kalvix-cli)
endif()
