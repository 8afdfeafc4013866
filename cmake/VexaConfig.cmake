# The Vexa board's CMake package: build programs for the board with Debian's
# z80asm, pack them onto an SD card image and check them in vexa-headless.
#
#   find_package(Vexa REQUIRED)
#   vexa_add_program(hello hello.asm)                 # hello.bin, loaded at 0x8000
#   vexa_add_card(hello_card card.img PROGRAMS hello) # the card's directory and programs
#   vexa_add_run_folder(hello_run run CARD hello_card)
#   vexa_add_ram_test(hello_runs FOLDER run TYPE "run hello" EXPECT 9000=37)
#
# VEXA_INCLUDE_DIR holds vexa.inc (ports, video registers, memory layout);
# VEXA_DATA_DIR the bundled boot ROM, monitor EEPROM image and config.txt.
include("${CMAKE_CURRENT_LIST_DIR}/VexaPaths.cmake")
find_program(VEXA_Z80ASM z80asm REQUIRED)

# vexa_add_program(<target> <source.asm> [LOAD <hex>] [ENTRY <hex>])
# Assembles <target>.bin (and <target>.sym, z80asm's label list) into the
# current binary folder with vexa.inc on the include path.
function(vexa_add_program target source)
  cmake_parse_arguments(ARG "" "LOAD;ENTRY" "" ${ARGN})
  if(NOT ARG_LOAD)
    set(ARG_LOAD 8000)
  endif()
  if(NOT ARG_ENTRY)
    set(ARG_ENTRY ${ARG_LOAD})
  endif()
  get_filename_component(src "${source}" ABSOLUTE)
  get_filename_component(src_dir "${src}" DIRECTORY)
  set(bin "${CMAKE_CURRENT_BINARY_DIR}/${target}.bin")
  add_custom_command(OUTPUT "${bin}"
    COMMAND "${VEXA_Z80ASM}" -I "${VEXA_INCLUDE_DIR}" -I "${src_dir}" -o "${bin}"
            "--label=${CMAKE_CURRENT_BINARY_DIR}/${target}.sym" "${src}"
    DEPENDS "${src}" "${VEXA_INCLUDE_DIR}/vexa.inc"
    COMMENT "Assembling ${source}" VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${bin}")
  set_target_properties(${target} PROPERTIES VEXA_BINARY "${bin}" VEXA_CARD_ENTRY "${target}=${bin}@${ARG_LOAD}:${ARG_ENTRY}")
endfunction()

# vexa_add_card(<target> <image> PROGRAMS <program targets>...)
# Packs the programs onto an SD card image; each is listed under its target name.
function(vexa_add_card target image)
  cmake_parse_arguments(ARG "" "" "PROGRAMS" ${ARGN})
  get_filename_component(out "${image}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(entries)
  set(bins)
  foreach(program ${ARG_PROGRAMS})
    get_target_property(entry ${program} VEXA_CARD_ENTRY)
    get_target_property(bin ${program} VEXA_BINARY)
    list(APPEND entries "${entry}")
    list(APPEND bins "${bin}")
  endforeach()
  add_custom_command(OUTPUT "${out}"
    COMMAND "${VEXA_MKSDIMAGE}" "${out}" ${entries}
    DEPENDS ${bins} ${ARG_PROGRAMS} COMMENT "Packing ${image}" VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${out}")
  set_target_properties(${target} PROPERTIES VEXA_IMAGE "${out}")
endfunction()

# vexa_add_run_folder(<target> <folder> CARD <card target>)
# A folder vexa or vexa-headless can run in: the bundled boot ROM, monitor and
# config.txt with the card. The card there is refreshed only from the card
# target, so a rebuild brings new programs.
function(vexa_add_run_folder target folder)
  cmake_parse_arguments(ARG "" "CARD" "" ${ARGN})
  get_filename_component(dir "${folder}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  get_target_property(image ${ARG_CARD} VEXA_IMAGE)
  add_custom_target(${target} ALL
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${dir}"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${VEXA_DATA_DIR}/boot.rom" "${VEXA_DATA_DIR}/monitor.eep"
            "${VEXA_DATA_DIR}/config.txt" "${image}" "${dir}"
    DEPENDS ${ARG_CARD} COMMENT "Preparing the run folder ${folder}" VERBATIM)
endfunction()

# vexa_add_ram_test(<name> FOLDER <run folder> [TYPE <monitor command>]
#                   [FRAMES <n>] EXPECT <hex address>=<hex bytes>...)
# A CTest case: vexa-headless boots the folder, types the command into the
# monitor, runs FRAMES frames (300 by default), and the memory dump main.ram
# must hold the bytes given (for example 9000=2A01 for 0x2A at 0x9000 and
# 0x01 at 0x9001; addresses as the processor sees 0x8000-0xFFFF after start-up).
function(vexa_add_ram_test name)
  cmake_parse_arguments(ARG "" "FOLDER;TYPE;FRAMES" "EXPECT" ${ARGN})
  if(NOT ARG_FRAMES)
    set(ARG_FRAMES 300)
  endif()
  get_filename_component(dir "${ARG_FOLDER}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(type_args)
  if(ARG_TYPE)
    set(type_args --type "${ARG_TYPE}\\n@20")
  endif()
  add_test(NAME ${name}
    COMMAND "${CMAKE_COMMAND}" "-DHEADLESS=${VEXA_HEADLESS}" "-DFOLDER=${dir}" "-DFRAMES=${ARG_FRAMES}"
            "-DTYPE=${type_args}" "-DEXPECT=${ARG_EXPECT}" -P "${VEXA_CMAKE_DIR}/VexaRamCheck.cmake")
endfunction()
