; Chunky, one byte per pixel from plane address 0 (the tile ramp of bank 0),
; in a window of lines 32-199 and columns 112-383. Every pixel lands one row
; lower and one column further right than it was fetched for: frame row 16
; (line 32) stays black, column 16 (window column 112) is black, and the
; picture fills frame columns 17-287 and rows 17-183.
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
setup:  dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW              ; left 112, right 256 + 8 * 16
        db      0x78
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW              ; top 0x40 / 2, bottom 160 + 5 * 8
        db      0x45
        dw      VIDCTRL             ; chunky
        db      0x80
        dw      0

        include "lib.inc"
