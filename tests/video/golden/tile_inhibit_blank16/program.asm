; The legacy dual playfield of tile_legacy_dual with inhibit and
; blank-left-16, in a window of lines 48-231 and columns 128-447 (frame rows
; 32-215, columns 32-351). Inhibit makes colour 0 of the front playfield
; opaque, so the back playfield no longer shows through the checker holes;
; the first 16 window columns are black.
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
        ld      bc, SOURCE_CHECKER << 8 | 1
        call    tiles64k
        ld      hl, page0
        call    set_regs
        ld      a, MEM_VRAM_WRITE
        ld      hl, 0x0000
        ld      bc, 32 * 15
        ld      de, 0x2001
        call    fill_seq
        ld      a, MEM_VRAM_WRITE
        ld      hl, 0x0600
        ld      bc, 32 * 15
        ld      de, 0x4005
        call    fill_seq
        ld      hl, setup
        call    set_regs
        halt
        jr      $ - 1

page7:  dw      PAGE
        db      0x38
        dw      0
page0:  dw      PAGE
        db      0x00
        dw      0
setup:  dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW              ; left 128, right 256 + 12 * 16
        db      0x8C
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW              ; top 0x60 / 2, bottom 160 + 9 * 8
        db      0x69
        dw      VIDCTRL             ; as tile_legacy_dual, plus inhibit and blank left 16
        db      0xD7
        dw      0

        include "lib.inc"
