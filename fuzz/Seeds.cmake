# Each fuzz target built with the tests' compiler and sanitizers and the replay main instead of
# libFuzzer, run by ctest over its seed corpus: the seeds, findings among them, stay regression
# cases on every test run, without clang.
set(KELVRA_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)
add_library(fuzz_seed_replay STATIC ${KELVRA_FUZZ_DIR}/ReplaySeeds.cpp)
foreach(target fuzz_reply fuzz_receive_path fuzz_item_descriptor fuzz_field_descriptor
        fuzz_leading_number fuzz_number_entry fuzz_module_reply fuzz_sim_request fuzz_fault_list)
    add_executable(${target}_seeds ${KELVRA_FUZZ_DIR}/${target}.cpp)
    target_link_libraries(${target}_seeds PRIVATE fuzz_seed_replay test_support)
    add_test(NAME ${target}.Seeds COMMAND ${target}_seeds ${KELVRA_FUZZ_DIR}/corpus/${target})
endforeach()
target_sources(fuzz_number_entry_seeds PRIVATE ${PROJECT_SOURCE_DIR}/src/console/NumberEntry.cpp)
target_link_libraries(fuzz_module_reply_seeds PRIVATE module_client)
target_link_libraries(fuzz_sim_request_seeds PRIVATE simulator)
target_link_libraries(fuzz_fault_list_seeds PRIVATE simulator)
