# Profile-guided optimisation of the emulation core, trained on vexa-bench.
#
# VEXA_PGO=ON builds an instrumented copy of the core and the benchmark in
# <build>/pgo-train, runs every benchmark scenario there to write a profile
# into <build>/pgo-profile, and compiles vexa_core with that profile. A change
# to the core rebuilds the copy, trains again and recompiles the core. The
# profile files are named after the object files relative to each build
# folder, so that both builds agree on the names.
if(VEXA_PGO_GENERATE)
  target_compile_options(vexa_core PRIVATE -fprofile-generate=${VEXA_PGO_GENERATE}
                         -fprofile-prefix-path=${CMAKE_BINARY_DIR} -fprofile-update=single)
  target_link_options(vexa_core INTERFACE -fprofile-generate=${VEXA_PGO_GENERATE})
elseif(VEXA_PGO)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    message(FATAL_ERROR "VEXA_PGO needs GCC (-fprofile-prefix-path)")
  endif()
  include(ExternalProject)
  set(VEXA_PGO_PROFILE "${CMAKE_BINARY_DIR}/pgo-profile")
  set(VEXA_PGO_TRAIN "${CMAKE_BINARY_DIR}/pgo-train")
  set(VEXA_PGO_BENCH "${VEXA_PGO_TRAIN}/bench/vexa-bench")
  ExternalProject_Add(vexa_pgo_instrumented
    SOURCE_DIR "${CMAKE_SOURCE_DIR}"
    BINARY_DIR "${VEXA_PGO_TRAIN}"
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
               -DVEXA_PGO_GENERATE=${VEXA_PGO_PROFILE} -DVEXA_BUILD_UI=OFF -DVEXA_BUILD_TESTS=OFF
               -DVEXA_BUILD_ROMS=OFF -DVEXA_BUILD_BENCH=ON
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target vexa-bench
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${VEXA_PGO_BENCH}"
    INSTALL_COMMAND "")
  # A fresh profile each time: counters from an older core must not be mixed in.
  add_custom_command(OUTPUT "${VEXA_PGO_PROFILE}/trained.stamp"
    COMMAND ${CMAKE_COMMAND} -E rm -rf "${VEXA_PGO_PROFILE}"
    COMMAND "${VEXA_PGO_BENCH}" all 300000000
    COMMAND ${CMAKE_COMMAND} -E touch "${VEXA_PGO_PROFILE}/trained.stamp"
    DEPENDS "${VEXA_PGO_BENCH}" vexa_pgo_instrumented
    COMMENT "Training the core's profile on vexa-bench" VERBATIM)
  add_custom_target(vexa_pgo_training DEPENDS "${VEXA_PGO_PROFILE}/trained.stamp")
  add_dependencies(vexa_core vexa_pgo_training)
  set_source_files_properties(${VEXA_CORE_SOURCES} PROPERTIES OBJECT_DEPENDS "${VEXA_PGO_PROFILE}/trained.stamp")
  target_compile_options(vexa_core PRIVATE -fprofile-use=${VEXA_PGO_PROFILE}
                         -fprofile-prefix-path=${CMAKE_BINARY_DIR} -fprofile-partial-training -Wno-missing-profile)
endif()
