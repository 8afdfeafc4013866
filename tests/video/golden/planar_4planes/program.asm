; Planar, four planes from plane set 0 at 0x00000, 0x01000, 0x02000 and
; 0x03000, the window covering the whole shown area: colours 0-15.
        include "common.inc"
        org     0
        di
        ld      sp, 0x8000
        call    palette_ramp
        ld      hl, page7
        call    set_regs
        call    make_sources
        ld      bc, SOURCE_RAMP << 8 | 0
        call    tiles64k
        ld      hl, setup
        call    set_regs
        halt
        jr      $ - 1

page7:  dw      PAGE
        db      0x38
        dw      0
setup:  dw      PLANE + 4 + 1
        db      0x10
        dw      PLANE + 8 + 1
        db      0x20
        dw      PLANE + 12 + 1
        db      0x30
        dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW
        db      FULL_WIDTH
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW
        db      FULL_HEIGHT
        dw      VIDCTRL
        db      0x00
        dw      MODEPARAM           ; four planes
        db      3
        dw      0

        include "lib.inc"
