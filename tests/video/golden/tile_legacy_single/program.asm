; Legacy tile map, one playfield (playfield 0, map buffer 0 at 0x0000, tile
; bank 0), the window covering the whole shown area. Tile t of bank 0 is the
; ramp shifted by t, so each 16 x 16 tile is a gradient starting at colour t;
; the map holds 0x20, 0x21, ... (tiles 0-7 hold the maps themselves).
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
        ld      hl, page0
        call    set_regs
        ld      a, MEM_VRAM_WRITE
        ld      hl, 0x0000
        ld      bc, 32 * 15
        ld      de, 0x2001
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
        dw      VIDCTRL             ; tile map
        db      0x01
        dw      0

        include "lib.inc"
