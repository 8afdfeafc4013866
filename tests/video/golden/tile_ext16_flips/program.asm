; Extended tile map, 16 x 16 tiles, one playfield, tile bank 1 (0x40000:
; ramp tiles; bank 0 holds checker tiles). Map entries 0x10, 0x11, ... with
; the flip bits cycling by column: none, horizontal, vertical, both.
        include "common.inc"
        org     0
        di
        ld      sp, 0x8000
        call    palette_ramp
        ld      hl, page7
        call    set_regs
        call    make_sources
        ld      bc, SOURCE_RAMP << 8 | 4
        call    tiles64k
        ld      bc, SOURCE_CHECKER << 8 | 0
        call    tiles64k
        ld      a, MEM_VRAM_WRITE   ; map low bytes at 0x70000
        ld      hl, 0x0000
        ld      bc, 32 * 15
        ld      de, 0x1001
        call    fill_seq
        ld      a, MEM_VRAM_WRITE   ; high bytes at 0x70800: 0x00, 0x40, 0x80, 0xC0, ...
        ld      hl, 0x0800
        ld      bc, 32 * 15
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
        dw      VIDCTRL             ; tile map, tile bank 1
        db      0x11
        dw      0

        include "lib.inc"
