# Where the installed tools and files are, relative to this file
# (<prefix>/share/vexa/cmake).
get_filename_component(_vexa_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(VEXA_DATA_DIR "${_vexa_prefix}/share/vexa")
set(VEXA_INCLUDE_DIR "${VEXA_DATA_DIR}/include")
set(VEXA_CMAKE_DIR "${VEXA_DATA_DIR}/cmake")
set(VEXA_MKSDIMAGE "${_vexa_prefix}/bin/mksdimage")
set(VEXA_HEADLESS "${_vexa_prefix}/bin/vexa-headless")
