; Planar, eight planes from plane set 1 (planes 8-15, addresses loaded as one
; block), the window covering the whole shown area: all 256 colours.
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
        ld      hl, planes
        ld      de, PLANE + 32
        ld      bc, 32
        ldir
        ld      hl, setup
        call    set_regs
        halt
        jr      $ - 1

; Planes 8-15: low, middle, high byte, then the counter reset (even planes)
; or the modulo (odd planes, 0).
planes: db      0x00, 0x00, 0, 0
        db      0x40, 0x07, 0, 0
        db      0x80, 0x0E, 0, 0
        db      0xC0, 0x15, 0, 0
        db      0x11, 0x1C, 0, 0
        db      0x22, 0x23, 0, 0
        db      0x33, 0x2A, 0, 0
        db      0x44, 0x31, 0, 0
page7:  dw      PAGE
        db      0x38
        dw      0
setup:  dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW
        db      FULL_WIDTH
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW
        db      FULL_HEIGHT
        dw      VIDCTRL             ; planar, plane set 1
        db      0x20
        dw      MODEPARAM           ; eight planes
        db      7
        dw      0

        include "lib.inc"
