# Z80 programs are assembled at build time with Debian's z80asm.
find_program(Z80ASM_EXECUTABLE z80asm REQUIRED)

# vexa_assemble(<target> <source.asm> OUTPUT <file.bin> [DEPENDS files...])
# Assembles one source into a raw binary and adds a target that builds it.
function(vexa_assemble target source)
  cmake_parse_arguments(ARG "" "OUTPUT" "DEPENDS" ${ARGN})
  get_filename_component(src "${source}" ABSOLUTE)
  get_filename_component(src_dir "${src}" DIRECTORY)
  add_custom_command(
    OUTPUT "${ARG_OUTPUT}"
    COMMAND ${Z80ASM_EXECUTABLE} -I "${src_dir}" -o "${ARG_OUTPUT}" "${src}"
    DEPENDS "${src}" ${ARG_DEPENDS}
    COMMENT "Assembling ${source}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${ARG_OUTPUT}")
endfunction()
