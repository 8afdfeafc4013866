; Extended tile map, 8 x 8 tiles, one playfield, tile bank 0 (ramp tiles;
; bank 1 at 0x40000 holds checker tiles). Map entries 0x00, 0x01, ... (64 a
; row) with the flip bits cycling by column: none, horizontal, vertical, both.
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
        ld      bc, SOURCE_CHECKER << 8 | 4
        call    tiles64k
        ld      a, MEM_VRAM_WRITE   ; map low bytes at 0x70000
        ld      hl, 0x0000
        ld      bc, 64 * 30
        ld      de, 0x0001
        call    fill_seq
        ld      a, MEM_VRAM_WRITE   ; high bytes at 0x70800
        ld      hl, 0x0800
        ld      bc, 64 * 30
        ld      de, 0x0040
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
        dw      EXTVIDCTRL          ; extended tiles
        db      0x01
        dw      VIDCTRL             ; tile map, 8 x 8 tiles, tile bank 0
        db      0x09
        dw      0

        include "lib.inc"
