# The built-in standard fonts are Type 1 programs from Debian's fonts-urw-base35, pulled into
# the core library at build time by Src/Resources/Fonts/BaseFontData.S (.incbin). The folder
# is handed to the assembler as an include path, so the assembler file names only the files.
set(VARDEX_URW_FONT_DIR "/usr/share/fonts/type1/urw-base35" CACHE PATH
    "Folder holding the URW base-35 Type 1 files (*.t1)")

set(VARDEX_BASE_FONT_FILES
  NimbusMonoPS-Regular NimbusMonoPS-Bold NimbusMonoPS-Italic NimbusMonoPS-BoldItalic
  NimbusSans-Regular NimbusSans-Bold NimbusSans-Italic NimbusSans-BoldItalic
  NimbusRoman-Regular NimbusRoman-Bold NimbusRoman-Italic NimbusRoman-BoldItalic
  StandardSymbolsPS D050000L Z003-MediumItalic)

set(_vardex_font_paths)
foreach(face ${VARDEX_BASE_FONT_FILES})
  set(_file "${VARDEX_URW_FONT_DIR}/${face}.t1")
  if(NOT EXISTS "${_file}")
    message(FATAL_ERROR "Missing font file ${_file}: install fonts-urw-base35 "
                        "(scripts/install-deps) or set VARDEX_URW_FONT_DIR")
  endif()
  list(APPEND _vardex_font_paths "${_file}")
endforeach()

set(_vardex_font_asm "${CMAKE_SOURCE_DIR}/Src/Resources/Fonts/BaseFontData.S")
set_source_files_properties("${_vardex_font_asm}" PROPERTIES
  COMPILE_OPTIONS "-Wa,-I,${VARDEX_URW_FONT_DIR}"
  OBJECT_DEPENDS "${_vardex_font_paths}")
