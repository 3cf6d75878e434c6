/* The font programs of the built-in standard fonts, taken whole from the URW base-35 Type 1
   files at build time; cmake/EmbeddedFonts.cmake puts their folder on the include path.
   Each face gives a byte array NAME and its length NAME_len (a 32-bit unsigned int). */

.macro EMBED_FONT sym, file
    .section .rodata.\sym, "a", @progbits
    .globl \sym
    .type \sym, @object
    .balign 16
\sym:
    .incbin "\file"
.L\sym\()_end:
    .size \sym, .L\sym\()_end - \sym
    .globl \sym\()_len
    .type \sym\()_len, @object
    .balign 4
\sym\()_len:
    .long .L\sym\()_end - \sym
    .size \sym\()_len, 4
.endm

EMBED_FONT fonts_NimbusMonoPS_Regular_t1,    "NimbusMonoPS-Regular.t1"
EMBED_FONT fonts_NimbusMonoPS_Bold_t1,       "NimbusMonoPS-Bold.t1"
EMBED_FONT fonts_NimbusMonoPS_Italic_t1,     "NimbusMonoPS-Italic.t1"
EMBED_FONT fonts_NimbusMonoPS_BoldItalic_t1, "NimbusMonoPS-BoldItalic.t1"
EMBED_FONT fonts_NimbusSans_Regular_t1,      "NimbusSans-Regular.t1"
EMBED_FONT fonts_NimbusSans_Bold_t1,         "NimbusSans-Bold.t1"
EMBED_FONT fonts_NimbusSans_Italic_t1,       "NimbusSans-Italic.t1"
EMBED_FONT fonts_NimbusSans_BoldItalic_t1,   "NimbusSans-BoldItalic.t1"
EMBED_FONT fonts_NimbusRoman_Regular_t1,     "NimbusRoman-Regular.t1"
EMBED_FONT fonts_NimbusRoman_Bold_t1,        "NimbusRoman-Bold.t1"
EMBED_FONT fonts_NimbusRoman_Italic_t1,      "NimbusRoman-Italic.t1"
EMBED_FONT fonts_NimbusRoman_BoldItalic_t1,  "NimbusRoman-BoldItalic.t1"
EMBED_FONT fonts_StandardSymbolsPS_t1,       "StandardSymbolsPS.t1"
EMBED_FONT fonts_D050000L_t1,                "D050000L.t1"
EMBED_FONT fonts_Z003_MediumItalic_t1,       "Z003-MediumItalic.t1"

.section .note.GNU-stack, "", @progbits
