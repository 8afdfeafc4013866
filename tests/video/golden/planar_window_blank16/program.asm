; Planar, two planes at 0x00000 and 0x00400, in a window of lines 40-199 and
; columns 112-415 (frame rows 24-183, columns 16-319) with blank-left-16: the
; first 16 window columns are black too, so the picture starts at frame
; column 32.
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
setup:  dw      PLANE + 4 + 1       ; plane 1 at 0x00400
        db      0x04
        dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW              ; left 112, right 256 + 10 * 16
        db      0x7A
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW              ; top 0x50 / 2, bottom 160 + 5 * 8
        db      0x55
        dw      VIDCTRL             ; planar, blank left 16
        db      0x02
        dw      MODEPARAM
        db      1
        dw      0

        include "lib.inc"
