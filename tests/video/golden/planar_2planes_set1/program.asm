; Planar, two planes from plane set 1 (planes 8 and 9), the window covering
; the whole shown area. Planes 0 and 1 point at empty VRAM, so a renderer that
; ignored the plane set would draw black.
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
setup:  dw      PLANE + 2           ; planes 0 and 1 at 0x20000 (zero)
        db      2
        dw      PLANE + 6
        db      2
        dw      PLANE + 32 + 1      ; plane 8 at 0x00000, plane 9 at 0x00800
        db      0x00
        dw      PLANE + 36 + 1
        db      0x08
        dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW
        db      FULL_WIDTH
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW
        db      FULL_HEIGHT
        dw      VIDCTRL             ; planar, plane set 1
        db      0x20
        dw      MODEPARAM           ; two planes
        db      1
        dw      0

        include "lib.inc"
