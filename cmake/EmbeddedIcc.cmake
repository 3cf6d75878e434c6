# The built-in CMYK output profile (part Resources/SWOP.ICC): an ICC v2 output profile for
# SWOP printing from Debian's libgs-common, embedded whole into the core library.
set(VARDEX_SWOP_ICC "/usr/share/color/icc/ghostscript/default_cmyk.icc"
    CACHE FILEPATH "CMYK output profile embedded as SWOP.ICC")
if(NOT EXISTS "${VARDEX_SWOP_ICC}")
  message(FATAL_ERROR "CMYK profile ${VARDEX_SWOP_ICC} not found: install libgs-common (scripts/install-deps)")
endif()
set_source_files_properties(${CMAKE_SOURCE_DIR}/Src/Xps/SwopIcc.S PROPERTIES
  COMPILE_DEFINITIONS "VARDEX_SWOP_ICC_FILE=\"${VARDEX_SWOP_ICC}\""
  OBJECT_DEPENDS "${VARDEX_SWOP_ICC}")
