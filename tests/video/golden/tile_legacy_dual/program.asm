; Legacy tile map, dual playfield without swap: playfield 0 at the back (map
; buffer 0 at 0x0000, tile bank 0: opaque ramp tiles), playfield 1 in front
; (map buffer 1 at 0x0600, tile bank 1 at 0x10000: ramp tiles with a 4 x 4
; checker cut out, through which the back shows). The unused buffers hold
; other bytes, so a wrong buffer or bank changes the picture.
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
setup:
        dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW
        db      FULL_WIDTH
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW
        db      FULL_HEIGHT
        dw      VIDCTRL             ; tile map, dual, pf1 map buffer 1, pf1 bank 1
        db      0xD1
        dw      0

        include "lib.inc"
