; Planar, two planes at 0x00000 and 0x04000, the window covering the whole
; shown area, with the modulo 0xFF: every line starts again from the plane addresses, so all lines are the same.
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
setup:  dw      PLANE + 4 + 1       ; plane 1 at 0x04000
        db      0x40
        dw      PLANE_MODULO
        db      0xFF
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
        dw      MODEPARAM           ; two planes
        db      1
        dw      0

        include "lib.inc"
