/* The CMYK output profile, taken in whole from the file named by VARDEX_SWOP_ICC_FILE at
   build time (see cmake/EmbeddedIcc.cmake); its size is counted by the assembler. */
        .section .rodata
        .balign 16
        .globl  SwapIcc
        .type   SwapIcc, @object
SwapIcc:
        .incbin VARDEX_SWOP_ICC_FILE
SwapIccEnd:
        .size   SwapIcc, SwapIccEnd - SwapIcc

        .balign 4
        .globl  SwapIccSize
        .type   SwapIccSize, @object
SwapIccSize:
        .int    SwapIccEnd - SwapIcc
        .size   SwapIccSize, 4

        .section .note.GNU-stack, "", @progbits
